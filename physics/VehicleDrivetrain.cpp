#include "physics/VehicleModel.h"

#include <algorithm>
#include <limits>

namespace {

// Each trial of the gear-spacing search is an acceleration from rest; one that has not reached
// the maximum speed after this many steps cannot with this engine and is discarded, so the search
// always ends.
constexpr int kMaxTrialSteps = 200000;
constexpr double kTrialStepPerSpeedSquared = 0.00016666666666666666;

bool ValidCurve(int count, const double* speeds, const double* powers)
{
    if (count < 2 || count > VehicleModel::kMaxCurvePoints || !speeds || !powers)
        return false;
    double largest = 0.0;
    for (int i = 0; i < count; ++i) {
        if (!std::isfinite(speeds[i]) || !std::isfinite(powers[i]) || powers[i] < 0)
            return false;
        if (i > 0 && !(speeds[i] > speeds[i - 1]))
            return false;
        largest = std::max(largest, powers[i]);
    }
    return largest > 0.0;
}

}  // namespace

bool VehicleModel::SetEngineCurve(int count, const double* speeds, const double* powers)
{
    if (!ValidCurve(count, speeds, powers)) {
        QueryHook1("VehicleModel::SetEngineCurve: the curve needs 2 to 100 finite samples with rising engine speeds, "
                   "no negative power and a positive peak.");
        return false;
    }
    curveCount = count;
    curveMaxPower = 0.0;
    for (int i = 0; i < count; ++i) {
        curveSpeeds[i] = speeds[i];
        curvePowers[i] = powers[i];
        curveMaxPower = std::max(curveMaxPower, powers[i]);
    }
    return true;
}

double VehicleModel::EnginePower(double w) const
{
    if (curveCount < 2 || !(curveMaxPower > 0))
        return 0.0;
    const double factor = powerScale / curveMaxPower;
    const int last = curveCount - 1;
    int lo;
    if (w >= curveSpeeds[last]) {
        lo = last - 1;
    } else if (w <= curveSpeeds[0]) {
        lo = 0;
    } else {
        lo = 0;
        int hi = last;
        while (hi - lo > 1) {
            int mid = (lo + hi) / 2;
            if (curveSpeeds[mid] <= w)
                lo = mid;
            else
                hi = mid;
        }
    }
    // Beyond the samples the neighbouring segment's line continues.
    const double slope = (curvePowers[lo + 1] - curvePowers[lo]) / (curveSpeeds[lo + 1] - curveSpeeds[lo]);
    return (curvePowers[lo] + slope * (w - curveSpeeds[lo])) * factor;
}

double VehicleModel::GetGearValue(int gear) const
{
    if (gear > 0 && gear <= forwardGearCount)
        return forwardGears[gear - 1];
    if (gear < 0 && -gear <= reverseGearCount)
        return reverseGears[-gear - 1];
    return 0.0;
}

double VehicleModel::WheelTorque(int gear, double spin) const
{
    const double value = GetGearValue(gear);
    if (value == 0.0)
        return 0.0;
    if (spin > 0)
        return EnginePower(spin / value) / spin;
    if (curveCount < 2 || !(curveMaxPower > 0))
        return 0.0;
    const double slope = (curvePowers[1] - curvePowers[0]) / (curveSpeeds[1] - curveSpeeds[0]);
    return slope * (powerScale / curveMaxPower) / value;
}

double VehicleModel::GearPowerAt(int gear, double spin) const
{
    return EnginePower(spin / GetGearValue(gear));
}

double VehicleModel::DrivenWheelSpin(int& drivenCount) const
{
    double sum = 0.0;
    drivenCount = 0;
    for (const Wheel& w : wheels)
        if (w.driving) {
            sum += w.spin;
            ++drivenCount;
        }
    return drivenCount ? sum / drivenCount : 0.0;
}

int VehicleModel::ChooseGear() const
{
    int driven = 0;
    // Forward rolling turns the wheels backwards about their axles.
    const double forwardSpin = -DrivenWheelSpin(driven);
    if (driven == 0 || forwardSpin == 0.0)
        return 0;
    const int direction = forwardSpin > 0 ? 1 : -1;
    const int count = direction > 0 ? forwardGearCount : reverseGearCount;
    if (count == 0)
        return 0;
    const double s = std::fabs(forwardSpin);
    auto power = [&](int index) { return GearPowerAt(direction * index, s); };
    const int current = currentGear * direction;
    if (current >= 1 && current <= count) {
        double p = power(current);
        bool stays = (current == 1 || p >= power(current - 1)) && (current == count || p >= power(current + 1));
        if (stays)
            return currentGear;
    }
    int best = 0;
    double bestPower = 0.0;
    for (int g = 1; g <= count; ++g) {
        double p = power(g);
        if (p > bestPower) {
            bestPower = p;
            best = g;
        }
    }
    return direction * (best ? best : count);
}

void VehicleModel::SetGear(int gear)
{
    if (gear > forwardGearCount || -gear > reverseGearCount) {
        QueryHook1("VehicleModel::SetGear: no such gear.");
        return;
    }
    currentGear = gear;
}

bool VehicleModel::FlankSpeeds(double spacing, double& low, double& high) const
{
    low = high = -1.0;
    int peak = 0;
    for (int i = 1; i < curveCount; ++i)
        if (curvePowers[i] > curvePowers[peak])
            peak = i;
    const double level = spacing * curveMaxPower;
    for (int i = 0; i < peak; ++i)
        if (curvePowers[i] < level && curvePowers[i + 1] >= level) {
            double t = (level - curvePowers[i]) / (curvePowers[i + 1] - curvePowers[i]);
            low = curveSpeeds[i] + t * (curveSpeeds[i + 1] - curveSpeeds[i]);
            break;
        }
    for (int i = peak; i + 1 < curveCount; ++i)
        if (curvePowers[i] >= level && curvePowers[i + 1] < level) {
            double t = (curvePowers[i] - level) / (curvePowers[i] - curvePowers[i + 1]);
            high = curveSpeeds[i] + t * (curveSpeeds[i + 1] - curveSpeeds[i]);
            break;
        }
    return low > 0 && high > low;
}

bool VehicleModel::BuildGearSeries(double spacing, double maxSpeed, double radius, double* values, int count) const
{
    double low, high;
    if (!FlankSpeeds(spacing, low, high))
        return false;
    // An up-shift at the falling flank lands on the rising flank of the next gear.
    values[count - 1] = (maxSpeed / radius) / high;
    for (int g = count - 2; g >= 0; --g)
        values[g] = values[g + 1] * low / high;
    for (int g = 0; g < count; ++g)
        if (!(values[g] > 0) || !std::isfinite(values[g]))
            return false;
    return true;
}

double VehicleModel::AccelerationTime(const double* values, int count, double maxSpeed, double radius,
                                      double bestTime) const
{
    // Unit mass, speed in the units of the maximum speed; the step grows with the speed squared
    // so that every trial takes a similar number of steps.
    const double step = maxSpeed * maxSpeed * kTrialStepPerSpeedSquared;
    const double startSlope =
        (curvePowers[1] - curvePowers[0]) / (curveSpeeds[1] - curveSpeeds[0]) * powerScale / curveMaxPower;
    auto power = [&](int gear, double spin) { return EnginePower(spin / values[gear - 1]); };
    double speed = 0.0, time = 0.0;
    int gear = 1;  // from rest the first gear, which the gear choice then keeps until it pays to shift
    for (int n = 0; n < kMaxTrialSteps; ++n) {
        if (speed >= maxSpeed)
            return time;
        if (time > bestTime)
            break;
        const double spin = speed / radius;
        double torque;
        if (spin > 0) {
            double p = power(gear, spin);
            bool stays = (gear == 1 || p >= power(gear - 1, spin)) && (gear == count || p >= power(gear + 1, spin));
            if (!stays) {
                int best = 0;
                double bestPower = 0.0;
                for (int g = 1; g <= count; ++g) {
                    double pg = power(g, spin);
                    if (pg > bestPower) {
                        bestPower = pg;
                        best = g;
                    }
                }
                gear = best ? best : count;
            }
            torque = power(gear, spin) / spin;
        } else {
            torque = startSlope / values[gear - 1];
        }
        speed += step * (1.0 / radius) * torque;
        time += step;
    }
    return std::numeric_limits<double>::infinity();
}

double VehicleModel::SetDrivetrain(const double* speeds, const double* powers, int count, double maxForward,
                                   double maxReverse, int forwardCount, int reverseCount, double radius,
                                   double scale, double neutralSpeed, const int driving[kWheels], double fixedSpacing)
{
    auto refuse = [this](const char* message) {
        QueryHook1(message);
        return -1.0;
    };
    if ((speeds || powers) && !ValidCurve(count, speeds, powers))
        return refuse("VehicleModel::SetDrivetrain: the curve needs 2 to 100 finite samples with rising engine "
                      "speeds, no negative power and a positive peak.");
    if (forwardCount < 0 || forwardCount > kMaxGears || reverseCount < 0 || reverseCount > kMaxGears)
        return refuse("VehicleModel::SetDrivetrain: the number of gears must be 0 to 16.");
    if (!std::isfinite(maxForward) || !std::isfinite(maxReverse) || (forwardCount > 0 && !(maxForward > 0)) ||
        (reverseCount > 0 && maxReverse == 0.0))
        return refuse("VehicleModel::SetDrivetrain: the maximum speeds must be finite and not zero.");
    if (!std::isfinite(radius) || !(radius > 0))
        return refuse("VehicleModel::SetDrivetrain: the wheel radius must be positive.");
    if (!std::isfinite(scale) || scale < 0 || !std::isfinite(neutralSpeed))
        return refuse("VehicleModel::SetDrivetrain: the engine power scale and neutral speed must be finite, the scale "
                      "not negative.");
    if (!driving)
        return refuse("VehicleModel::SetDrivetrain: the driving-wheel flags are missing.");
    if (!std::isfinite(fixedSpacing) || fixedSpacing < 0 || fixedSpacing >= 1)
        return refuse("VehicleModel::SetDrivetrain: a fixed gear spacing must lie between 0 and 1.");
    const double reverseSpeed = std::fabs(maxReverse);
    for (double top : {forwardCount > 0 ? maxForward : 1.0, reverseCount > 0 ? reverseSpeed : 1.0})
        if (!(top * top * kTrialStepPerSpeedSquared > 0) || !std::isfinite(top * top))
            return refuse("VehicleModel::SetDrivetrain: the maximum speeds are out of range for the gear search.");

    // Work on a copy so that a refused set-up leaves the model as it was.
    VehicleModel trial(*this);
    trial.errorReporter = nullptr;
    trial.warningReporter = nullptr;
    if (speeds)
        trial.SetEngineCurve(count, speeds, powers);
    trial.powerScale = 1.0;  // the spacing search runs at unit power

    double forwardValues[kMaxGears] = {}, reverseValues[kMaxGears] = {};
    double chosen = 0.0;
    auto search = [&](double top, double* values, int gears, double& spacing) {
        double bestTime = std::numeric_limits<double>::infinity();
        spacing = -1.0;
        double candidate[kMaxGears];
        for (int k = 0; k < 49; ++k) {
            double h = (99 - k) / 100.0;
            if (!trial.BuildGearSeries(h, top, radius, candidate, gears))
                continue;
            double time = trial.AccelerationTime(candidate, gears, top, radius, bestTime);
            if (time < bestTime) {
                bestTime = time;
                spacing = h;
                std::copy(candidate, candidate + gears, values);
            }
        }
        return spacing > 0;
    };
    if (forwardCount > 0) {
        bool ok = fixedSpacing > 0 ? trial.BuildGearSeries(fixedSpacing, maxForward, radius, forwardValues, forwardCount)
                                   : search(maxForward, forwardValues, forwardCount, chosen);
        if (!ok)
            return refuse("VehicleModel::SetDrivetrain: the engine curve cannot drive the vehicle to its maximum "
                          "forward speed.");
    }
    if (reverseCount > 0) {
        double reverseSpacing = 0.0;
        bool ok = fixedSpacing > 0 ? trial.BuildGearSeries(fixedSpacing, reverseSpeed, radius, reverseValues, reverseCount)
                                   : search(reverseSpeed, reverseValues, reverseCount, reverseSpacing);
        if (!ok)
            return refuse("VehicleModel::SetDrivetrain: the engine curve cannot drive the vehicle to its maximum "
                          "reverse speed.");
    }

    if (speeds)
        SetEngineCurve(count, speeds, powers);
    maxForwardSpeed = maxForward;
    maxReverseSpeed = maxReverse;
    forwardGearCount = forwardCount;
    reverseGearCount = reverseCount;
    std::copy(forwardValues, forwardValues + kMaxGears, forwardGears);
    std::copy(reverseValues, reverseValues + kMaxGears, reverseGears);
    powerScale = scale;
    neutralEngineSpeed = neutralSpeed;
    for (int i = 0; i < kWheels; ++i)
        wheels[i].driving = driving[i] ? 1 : 0;
    if (currentGear > forwardGearCount || -currentGear > reverseGearCount)
        currentGear = 0;
    if (forwardCount == 0)
        return -1.0;
    return fixedSpacing > 0 ? 0.0 : chosen;
}

void VehicleModel::SetThrottle(double throttle)
{
    if (!std::isfinite(throttle)) {
        QueryHook1("VehicleModel::SetThrottle: the throttle is not finite; it was refused.");
        return;
    }
    int driven = 0;
    const double meanSpin = DrivenWheelSpin(driven);
    double torque = 0.0;
    if (driven > 0 && currentGear != 0) {
        // The drive torque pushes in the gear's direction; the spin counts in that direction too.
        const double direction = currentGear > 0 ? 1.0 : -1.0;
        torque = direction * throttle * WheelTorque(currentGear, -direction * meanSpin);
    }
    for (Wheel& w : wheels)
        w.driveTorque = w.driving ? torque : 0.0;
}

void VehicleModel::SetReverse(double throttle)
{
    if (!std::isfinite(throttle)) {
        QueryHook1("VehicleModel::SetReverse: the throttle is not finite; it was refused.");
        return;
    }
    int gear = ChooseGear();
    currentGear = gear < 0 ? gear : (reverseGearCount > 0 ? -1 : 0);
    SetThrottle(throttle);
}

double VehicleModel::GetEngineSpeed() const
{
    int driven = 0;
    const double meanSpin = DrivenWheelSpin(driven);
    if (driven == 0)
        return 0.0;
    if (currentGear == 0)
        return neutralEngineSpeed;
    const double value = GetGearValue(currentGear);
    return value != 0.0 ? std::fabs(meanSpin / value) : neutralEngineSpeed;
}
