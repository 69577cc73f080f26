#pragma once

#include "physics/RigidBody.h"

// One contact between body A and body B (none = the static world). The caller fills the first
// group; the solver the rest.
struct CollisionContact {
    RigidBody* bodyA = nullptr;
    RigidBody* bodyB = nullptr;
    double friction = 0.0;     // mu; 0 = frictionless
    double restitution = 0.0;  // e
    Vector3d point;
    double depth = 0.0;
    Vector3d normal;  // unit, from B towards A

    Vector3d tangent1;
    Vector3d tangent2;
    double normalSpeed = 0.0;
    double tangentSpeed1 = 0.0;
    double tangentSpeed2 = 0.0;
    Vector3d leverA;
    Vector3d leverB;
    // Effective mass matrix K in the (normal, tangent1, tangent2) frame: the velocity change at
    // the point per unit impulse.
    double effectiveMass[3][3] = {};
    int prepared = 0;
    int applied = 0;
    int usable = 0;  // 0 for a record with no body A or values that are not finite
};

// Removes approaching velocity at the contacts by impulses with restitution and Coulomb friction,
// the most violating contact first, then pushes penetrating bodies apart. Both phases are bounded
// by 4 x count passes.
void ResolveCollisionContacts(CollisionContact* contacts, int count, double dt, double threshold, double limit);
void PrepareContact(CollisionContact& contact, double dt);
void ApplyContactImpulse(CollisionContact& contact, double normalVelocityChange);
void SeparateContact(CollisionContact& contact, double distance);
