#include "characters/level/NetworkSession.h"

#include "characters/level/RunningLevel.h"

namespace {

NetworkSession& Session() { return RunningLevel::Network(); }

} // namespace

bool IsNetworkServerActive() { return Session().IsServerActive(); }
bool IsNetworkClientConnected() { return Session().IsClientConnected(); }
void ClientSendHealth(std::int16_t object, int health) { Session().ClientSendHealth(object, health); }
CharacterServerSettings GetCharacterServerSettings() { return Session().ServerSettings(); }
std::uint32_t GetNetworkTime() { return Session().Time(); }

void ClientSendPosture(std::int16_t character, int oldPosture, bool next)
{
    Session().ClientSendPosture(character, oldPosture, next);
}

void ServerSendPosture(std::int16_t character, int posture) { Session().ServerSendPosture(character, posture); }
void SendAlarm(std::int16_t alarm, bool fromServer) { Session().SendAlarm(alarm, fromServer); }

void SendDamageReport(int amount, std::int16_t victim, std::int16_t attacker, bool fromServer)
{
    Session().SendDamage(amount, victim, attacker, fromServer);
}

void SendHitDamageReport(const HitDamageReport& report, bool fromServer)
{
    Session().SendHitDamage(report, fromServer);
}

void SendDeathReport(std::int16_t character, int killer, int weapon, const char* weaponName, bool fromServer)
{
    Session().SendDeath(character, killer, weapon, weaponName, fromServer);
}
