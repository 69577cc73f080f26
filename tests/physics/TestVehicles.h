#pragma once

// Vehicles and test grounds for the vehicle tests. The grounds stand in for the world pick of
// the game's wheel-contact callback: each wheel asks its ground for contacts from its centre,
// axle and radius.

#include "physics/VehicleModel.h"

#include <string>
#include <vector>

struct CarParameters {
    Vector3d gravity{0.0, -9.81, 0.0};
    Vector3d r0{1.5, -0.5, 0.8};
    Vector3d r1{-1.5, -0.5, 0.8};
    double frontRadius = 0.4;
    double backRadius = 0.4;
    Vector3d chassisTOI{500.0, 2000.0, 1800.0};
    Vector3d frontWheelTOI{0.8, 0.8, 1.6};
    Vector3d backWheelTOI{0.8, 0.8, 1.6};
    double mass = 1200.0;
    double frontWheelMass = 20.0;
    double backWheelMass = 20.0;

    int Apply(VehicleModel& model) const
    {
        return model.SetBodyParameters(gravity, r0, r1, frontRadius, backRadius, chassisTOI, frontWheelTOI,
                                       backWheelTOI, mass, frontWheelMass, backWheelMass);
    }
};

// Ground shapes in the world x-y plane (uniform along z).
class Ground {
public:
    virtual ~Ground() = default;
    virtual void AddContacts(VehicleModel& model, int wheel) const = 0;
};

// The plane n . p = distance.
class PlaneGround : public Ground {
public:
    PlaneGround(const Vector3d& normal, double distance) : normal(Normalized(normal)), distance(distance) {}
    void AddContacts(VehicleModel& model, int wheel) const override;
    // Ground height above x = 0 rises by tan(angle) per unit of x.
    static PlaneGround Slope(double angle);

    Vector3d normal;
    double distance;
};

// Level ground at y = 0 up to x = edge, and at y = height beyond it.
class StepGround : public Ground {
public:
    StepGround(double edge, double height) : edge(edge), height(height) {}
    void AddContacts(VehicleModel& model, int wheel) const override;

    double edge;
    double height;
};

// A vehicle that asks its ground for wheel contacts and keeps the messages it reports.
class TestVehicle : public VehicleModel {
public:
    explicit TestVehicle(const Ground* ground = nullptr);
    // The standard car of the tests on this vehicle, with the game's drivetrain set-up.
    void SetUpCar(const CarParameters& parameters = {});
    // The body height at which the springs carry the weight on level ground y = groundHeight.
    double RestHeight(double groundHeight = 0.0) const;
    void PlaceAtRest(double groundHeight = 0.0);

    const Ground* ground;
    double frontOffsetY = 0.0;
    std::vector<std::string> errors;
    std::vector<std::string> warnings;
};

// Kinetic energy of chassis and wheel spins plus the potential energy in gravity.
double MechanicalEnergy(const VehicleModel& model);
