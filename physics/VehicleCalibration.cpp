#include "physics/VehicleModel.h"

#include <algorithm>

namespace {

constexpr int kSettlingSteps = 100;
constexpr int kCountedSteps = 200;
constexpr int kStepsBeforeTorqueGrows = 200;
// The drive torque grows by 1% a step until the tyres are loaded; a vehicle that has not reached
// that load by then never will, and the run ends instead of stepping forever.
constexpr int kMaxCalibrationSteps = 5000;
constexpr double kCalibrationSteer = 0.6;

// 2 when a wheel slides, else the largest friction utilisation below 2, else -1.
double SlidingMeasure(const VehicleModel& model)
{
    if (model.GetWheelContactState() == 1)
        return 2.0;
    double measure = -1.0;
    bool found = false;
    for (int i = 0; i < VehicleModel::kWheels; ++i) {
        double use = model.GetWheelFrictionUse(i);
        if (use < 2.0 && (!found || use > measure)) {
            measure = use;
            found = true;
        }
    }
    return found ? measure : -1.0;
}

}  // namespace

// Flat ground at the height where the springs carry the weight of a vehicle at the origin.
void VehicleModel::CalibrationGround(VehicleModel& model)
{
    const double g = Length(model.gravity);
    const double springs = model.wheels[0].stiffness + 2 * model.wheels[2].stiffness + model.wheels[3].stiffness;
    const double ground = model.r0Param.y - model.wheels[0].radius + model.mass * g / springs;
    const Vector3d up{0.0, 1.0, 0.0};
    for (int i = 0; i < kWheels; ++i) {
        model.ClearWheelContacts(i);
        Vector3d point;
        double depth = 0.0;
        if (WheelContactFromPlane(point, depth, model.GetWheelAxis(i), model.GetWheelPosition(i), model.GetWheelRadius(i),
                                  up, ground) &&
            depth > 0)
            model.AddWheelContact(i, up, point, depth);
    }
}

double SuggestedDynamicVelocity(VehicleModel& model, double dt)
{
    const double g = Length(model.gravity);
    if (!model.configured || g == 0.0) {
        model.QueryHook1("gravity must have non-zero length in SuggestedDynamicVelocity().");
        return 0.0;
    }
    if (!std::isfinite(dt) || !(dt > 0)) {
        model.QueryHook1("time step must be positive in SuggestedDynamicVelocity().");
        return -1.0;
    }
    // The run works on a copy, so the model keeps its state, settings and callback whatever happens.
    VehicleModel run(model);
    run.gravity = {0.0, -g, 0.0};
    run.slidingThreshold = g * dt * 100000;
    run.RigidBody::SetState(RigidBodyState{});
    for (auto& w : run.wheels) {
        w.spin = 0.0;
        w.rollAngle = 0.0;
        w.driveTorque = 0.0;
        w.brakeTorque = 0.0;
        w.displacement = 0.0;
    }
    run.UpdateWheelFrames();
    run.SetSteerAngle(kCalibrationSteer);
    run.contactCallback = &VehicleModel::CalibrationGround;

    for (int n = 0; n < kSettlingSteps; ++n)
        run.Step(dt);
    if (std::fabs(SlidingMeasure(run)) > 0.01)
        return -1.0;

    double torque = std::fabs((run.wheels[1].friction + run.wheels[2].friction) * run.mass * run.gravity.y * 0.0025);
    run.wheels[1].driveTorque = run.wheels[2].driveTorque = torque;
    int counted = 0, total = 0, added = 0;
    bool captured = false;
    double capturedTorque = 0.0, sum = 0.0;
    while (counted < kCountedSteps) {
        if (total >= kMaxCalibrationSteps) {
            model.QueryHook2("SuggestedDynamicVelocity(): the tyres never came under load; no speed suggested.");
            return -1.0;
        }
        run.Step(dt);
        ++total;
        for (int i = 0; i < VehicleModel::kWheels; ++i)
            if (run.GetWheelGroundContact(i) != 0)
                return -1.0;
        const double measure = SlidingMeasure(run);
        if (measure <= 0.3 && !captured) {
            if (total > kStepsBeforeTorqueGrows) {
                run.wheels[1].driveTorque *= 1.01;
                run.wheels[2].driveTorque *= 1.01;
            }
            continue;
        }
        ++counted;
        double brake = 0.0;
        if (measure > 0.3) {
            if (!captured) {
                capturedTorque = run.wheels[1].driveTorque;
                captured = true;
            }
            brake = std::fabs(capturedTorque) * (measure * 3.3333333333333335 - 1) * 2;
        }
        run.wheels[1].brakeTorque = run.wheels[2].brakeTorque = brake;
        if (measure > 0.3 && measure < 1) {
            double fastest = 0.0;
            for (int i = 0; i < VehicleModel::kWheels; ++i)
                fastest = std::max(fastest, run.GetWheelTangentialSpeed(i));
            sum += fastest;
            ++added;
        }
    }
    return added > 0 ? 6 * sum / added : -1.0;
}
