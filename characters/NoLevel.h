#pragma once

#include "characters/NetworkSession.h"
#include "characters/WeaponQueries.h"

// The answers of the services when no level runs (and for a service a running level does not
// hand over): the world as the objects find it before a mission starts. Tests derive their fakes
// from it and answer only what they look at.
//  - weapons: none of the kinds, never reloading, no range, no vehicle; a dropped weapon keeps
//    the magazines it has.
//  - network: this machine neither hosts nor is connected, the clock reads 0, the server settings
//    are those of a fresh record and nothing is sent.
class NoLevel : public WeaponQueries, public NetworkSession {
public:
    // The one instance the running level falls back on.
    static NoLevel& Answers();

    bool IsAutomatic(CarriedItem& item) override;
    bool IsAutoRifle(CarriedItem& item) override;
    bool IsMachineGun(CarriedItem& item) override;
    bool HasScope(CarriedItem& item) override;
    bool IsMelee(CarriedItem& item) override;
    bool IsAntiTank(CarriedItem& item) override;
    bool IsReloading(CarriedItem& item) override;
    float Range(CarriedItem& item) override;
    int DropMagazines(CarriedItem& item) override;
    int VehicleType(CarriedItem& item) override;
    void AimVehicleAt(CarriedItem& item, const Vector3& point) override;

    bool IsServerActive() override;
    bool IsClientConnected() override;
    void ClientSendHealth(std::int16_t object, int health) override;
    CharacterServerSettings ServerSettings() override;
    std::uint32_t Time() override;
    void ClientSendPosture(std::int16_t character, int oldPosture, bool next) override;
    void SendDamage(int amount, std::int16_t victim, std::int16_t attacker, bool fromServer) override;
    void SendHitDamage(const HitDamageReport& report, bool fromServer) override;
    void SendDeath(std::int16_t character, int killer, int weapon, const char* weaponName, bool fromServer) override;
    void ServerSendPosture(std::int16_t character, int posture) override;
    void SendAlarm(std::int16_t alarm, bool fromServer) override;
};
