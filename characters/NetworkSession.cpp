#include "characters/NetworkSession.h"

#include <utility>

namespace {

// Waits for the networking layer, which registers the real session here.
NetworkSessionHooks session;

} // namespace

void SetNetworkSessionHooks(NetworkSessionHooks hooks)
{
    session = std::move(hooks);
}

bool IsNetworkServerActive()
{
    return session.isServerActive && session.isServerActive();
}

bool IsNetworkClientConnected()
{
    return session.isClientConnected && session.isClientConnected();
}

void ClientSendHealth(std::int16_t object, int health)
{
    if (session.clientSendHealth)
        session.clientSendHealth(object, health);
}

CharacterServerSettings GetCharacterServerSettings()
{
    return session.serverSettings ? session.serverSettings() : CharacterServerSettings{};
}

std::uint32_t GetNetworkTime()
{
    return session.getTime ? session.getTime() : 0u;
}

void ClientSendPosture(std::int16_t character, int oldPosture, bool next)
{
    if (session.clientSendPosture)
        session.clientSendPosture(character, oldPosture, next);
}

void ServerSendPosture(std::int16_t character, int posture)
{
    if (session.serverSendPosture)
        session.serverSendPosture(character, posture);
}

void SendAlarm(std::int16_t alarm, bool fromServer)
{
    if (session.sendAlarm)
        session.sendAlarm(alarm, fromServer);
}

void SendDamageReport(int amount, std::int16_t victim, std::int16_t attacker, bool fromServer)
{
    if (session.sendDamage)
        session.sendDamage(amount, victim, attacker, fromServer);
}

void SendHitDamageReport(const HitDamageReport& report, bool fromServer)
{
    if (session.sendHitDamage)
        session.sendHitDamage(report, fromServer);
}

void SendDeathReport(std::int16_t character, int killer, int weapon, const char* weaponName, bool fromServer)
{
    if (session.sendDeath)
        session.sendDeath(character, killer, weapon, weaponName, fromServer);
}
