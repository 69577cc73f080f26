#include "tests/physics/TestVehicles.h"

#include <cmath>

namespace {

// Reporters are plain function pointers, so the vehicle that reports is tracked here; tests step
// one vehicle's set-up at a time.
TestVehicle* reporting = nullptr;

void ReportError(const char* message)
{
    if (reporting)
        reporting->errors.emplace_back(message);
}

void ReportWarning(const char* message)
{
    if (reporting)
        reporting->warnings.emplace_back(message);
}

void AskGround(VehicleModel& model)
{
    auto& vehicle = static_cast<TestVehicle&>(model);
    reporting = &vehicle;
    for (int i = 0; i < VehicleModel::kWheels; ++i) {
        model.ClearWheelContacts(i);
        if (vehicle.ground)
            vehicle.ground->AddContacts(model, i);
    }
}

}  // namespace

void PlaneGround::AddContacts(VehicleModel& model, int wheel) const
{
    Vector3d point;
    double depth = 0.0;
    if (WheelContactFromPlane(point, depth, model.GetWheelAxis(wheel), model.GetWheelPosition(wheel),
                              model.GetWheelRadius(wheel), normal, distance) &&
        depth > 0)
        model.AddWheelContact(wheel, normal, point, depth);
}

PlaneGround PlaneGround::Slope(double angle)
{
    return PlaneGround({-std::sin(angle), std::cos(angle), 0.0}, 0.0);
}

void StepGround::AddContacts(VehicleModel& model, int wheel) const
{
    const Vector3d centre = model.GetWheelPosition(wheel);
    const Vector3d axis = model.GetWheelAxis(wheel);
    const double radius = model.GetWheelRadius(wheel);
    const Vector3d up{0.0, 1.0, 0.0};
    Vector3d point;
    double depth = 0.0;
    // The flat part under the wheel's lowest point.
    if (WheelContactFromPlane(point, depth, axis, centre, radius, up, 0.0) && depth > 0 && point.x < edge)
        model.AddWheelContact(wheel, up, point, depth);
    if (WheelContactFromPlane(point, depth, axis, centre, radius, up, height) && depth > 0 && point.x >= edge)
        model.AddWheelContact(wheel, up, point, depth);
    // The face and the corner of the step, for a wheel in front of it.
    if (centre.x < edge) {
        const Vector3d closest{edge, std::fmin(centre.y, height), centre.z};
        const Vector3d away = centre - closest;
        const double distance = Length(away);
        if (distance > 0 && distance < radius)
            model.AddWheelContact(wheel, away / distance, closest, radius - distance);
    }
}

TestVehicle::TestVehicle(const Ground* ground) : ground(ground)
{
    reporting = this;
    SetWheelContactCallback(&AskGround);
    SetErrorReporter(&ReportError);
    SetWarningReporter(&ReportWarning);
}

void TestVehicle::SetUpCar(const CarParameters& parameters)
{
    reporting = this;
    parameters.Apply(*this);
    frontOffsetY = parameters.r0.y;
    const int driving[4] = {0, 1, 1, 0};
    // The game's set-up: default curve, one reverse gear, the back wheel's radius, optimised spacing.
    SetDrivetrain(nullptr, nullptr, 0, 40.0, -10.0, 5, 1, GetWheelRadius(1), 150000.0, 100.0, driving, 0.0);
}

double TestVehicle::RestHeight(double groundHeight) const
{
    // Each default spring is compressed by a third of its wheel's radius under its static load.
    return groundHeight + 2.0 * GetWheelRadius(0) / 3.0 - frontOffsetY;
}

void TestVehicle::PlaceAtRest(double groundHeight)
{
    VehicleState state;
    state.position = {0.0, RestHeight(groundHeight), 0.0};
    SetState(state);
}

double MechanicalEnergy(const VehicleModel& model)
{
    const Vector3d v = model.GetVelocity();
    const Vector3d w = model.GetOrientationMatrix().Multiply(model.GetAngularVelocity());
    const Vector3d inertia = model.GetInertia();
    double energy = 0.5 * model.GetMass() * Dot(v, v) +
                    0.5 * (inertia.x * w.x * w.x + inertia.y * w.y * w.y + inertia.z * w.z * w.z);
    for (int i = 0; i < VehicleModel::kWheels; ++i) {
        const double spin = model.GetWheelSpinRate(i);
        energy += 0.5 * model.GetWheelSpinInertia(i) * spin * spin;
    }
    return energy - model.GetMass() * Dot(model.GetGravity(), model.GetPosition());
}
