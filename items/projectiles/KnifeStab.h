#pragma once

#include <cstdint>

#include "items/projectiles/Bullet.h"

// A stab: at construction every living character but the attacker within reach and within about
// 29.5 degrees of the attacker's facing takes the hit. An unaware victim (not alert, attacker not
// prone) takes 1000; others a whole number from low up to high - 1 (low when the range is empty).
class KnifeStab : public Bullet {
public:
    KnifeStab(const Vector3& start, const Vector3& direction, float reach, Character* attacker, float low, float high);

    std::uint16_t attackerID = 0xFFFF;
    int squadIndex = -1;
    int victims = 0; // characters hit (for tests)
};
