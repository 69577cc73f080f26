#include "physics/VehicleModel.h"

#include <algorithm>
#include <numbers>

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

// The engine curve the game installs: engine speed against relative power.
constexpr double kDefaultCurveSpeeds[] = {0, 153, 245, 347, 439, 549, 665, 791, 910, 1036, 1154};
constexpr double kDefaultCurvePowers[] = {0, 1.1, 2.29, 3.63, 4.64, 5.63, 5.89, 5.6, 4.15, 2.0, 0};

// The remainder of a / 2 pi, within -2 pi..2 pi.
double ReduceAngle(double a)
{
    return std::fmod(a, kTwoPi);
}

bool TriangleRule(const Vector3d& t)
{
    return !(t.x + t.y < t.z || t.y + t.z < t.x || t.x + t.z < t.y);
}

const WheelContact kNoContact{};

}  // namespace

bool WheelContactFromPlane(Vector3d& point, double& depth, const Vector3d& axis, const Vector3d& centre,
                           double radius, const Vector3d& normal, double distance)
{
    double along = Dot(axis, normal);
    if (std::fabs(along) > 0.9999999)
        return false;
    point = centre - Normalized(normal - axis * along) * radius;
    depth = distance - Dot(point, normal);
    return true;
}

VehicleModel::VehicleModel()
{
    InitChassisAndWheels();
    SetEngineCurve(11, kDefaultCurveSpeeds, kDefaultCurvePowers);
    wheels[0].driving = 0;
    wheels[1].driving = 1;
    wheels[2].driving = 1;
    wheels[3].driving = 0;
    currentGear = 0;
    powerScale = 0.0;
}

void VehicleModel::InitChassisAndWheels()
{
    static_cast<RigidBody&>(*this) = RigidBody();
    for (Wheel& w : wheels)
        w = Wheel{};
    configured = false;
    contactCallback = nullptr;
    errorReporter = nullptr;
    warningReporter = nullptr;
    chassisOffset = {};
    steerInput = 0.0;
    inQuery = 0;
    fourWheelSolved = false;
}

void VehicleModel::QueryHook1(const char* message)
{
    if (errorReporter)
        errorReporter(message);
}

void VehicleModel::QueryHook2(const char* message)
{
    if (warningReporter)
        warningReporter(message);
}

void VehicleModel::QueryWheelContacts()
{
    if (contactCallback)
        contactCallback(*this);
}

int VehicleModel::SetBodyParameters(const Vector3d& gravityValue, const Vector3d& r0, const Vector3d& r1,
                                    double frontRadius, double backRadius, const Vector3d& chassisTOI,
                                    const Vector3d& frontTOI, const Vector3d& backTOI, double chassis,
                                    double frontMass, double backMass)
{
    auto fail = [this](const char* message) {
        QueryHook1(message);
        return 0;
    };
    auto negative = [](const Vector3d& v) { return v.x < 0 || v.y < 0 || v.z < 0; };
    if (Length(gravityValue) == 0.0)
        return fail("gravity must have non-zero length.");
    if (!(chassis > 0) || !(frontMass > 0) || !(backMass > 0))
        return fail("mass should be positive");
    if (negative(chassisTOI))
        return fail("chassis_TOI cannot be negative.");
    if (negative(frontTOI))
        return fail("front_wheel_TOI cannot be negative.");
    if (negative(backTOI))
        return fail("back_wheel_TOI cannot be negative.");
    if (!TriangleRule(chassisTOI))
        return fail("chassis_TOI does not follow triangle rule.");
    if (!TriangleRule(frontTOI))
        return fail("front_wheel_TOI does not follow triangle rule.");
    if (!TriangleRule(backTOI))
        return fail("back_wheel_TOI does not follow triangle rule.");
    if (r0.x == 0.0)
        return fail("r0[0] must not be zero.");
    if (r0.z == 0.0)
        return fail("r0[2] must not be zero.");
    if (r1.x == 0.0)
        return fail("r1[0] must not be zero.");
    if (r1.z == 0.0)
        return fail("r1[2] must not be zero.");
    // Values the set-up and the step divide by.
    if (!IsFinite(gravityValue) || !IsFinite(r0) || !IsFinite(r1) || !IsFinite(chassisTOI) || !IsFinite(frontTOI) ||
        !IsFinite(backTOI) || !std::isfinite(frontRadius) || !std::isfinite(backRadius) || !std::isfinite(chassis) ||
        !std::isfinite(frontMass) || !std::isfinite(backMass))
        return fail("body parameters must be finite numbers.");
    if (!(frontRadius > 0))
        return fail("front wheel radius must be positive.");
    if (!(backRadius > 0))
        return fail("back wheel radius must be positive.");
    if (!(frontTOI.z > 0))
        return fail("front_wheel_TOI[2] must be positive.");
    if (!(backTOI.z > 0))
        return fail("back_wheel_TOI[2] must be positive.");
    if (r0.x == r1.x)
        return fail("r0[0] and r1[0] must differ.");

    const double m = chassis;
    const Vector3d& t = chassisTOI;
    const double share[3] = {(r1.y * r1.y + r1.z * r1.z) / 3, (r1.z * r1.z + r1.x * r1.x) / 3,
                             (r1.y * r1.y + r1.x * r1.x) / 3};
    static const char* const kTooSmall[3] = {"chassis_TOI[0] seems to be too small", "chassis_TOI[1] seems to be too small",
                                             "chassis_TOI[2] seems to be too small"};
    static const char* const kTooLarge[3] = {"chassis_TOI[0] seems to be too large", "chassis_TOI[1] seems to be too large",
                                             "chassis_TOI[2] seems to be too large"};
    for (int i = 0; i < 3; ++i) {
        if (20 * t[i] < m * share[i])
            QueryHook2(kTooSmall[i]);
        if (0.05 * t[i] > m * share[i])
            QueryHook2(kTooLarge[i]);
    }
    if (r0.x * r1.x >= 0)
        QueryHook2("r0[0] and r1[0] should be of different signs.");
    if (r0.y * r1.y < 0)
        QueryHook2("r0[1] and r1[1] should be of the same signs.");
    if (r0.z * r1.z <= 0)
        QueryHook2("r0[2] and r1[2] should be of the same signs.");
    if (std::fabs(r0.x) < 0.5 * std::fabs(r1.x) || std::fabs(r0.x) > 2 * std::fabs(r1.x))
        QueryHook2("Center of wheel_mass seems to lie too far from the geometric center of wheels.");
    if (frontTOI.x != frontTOI.y)
        QueryHook2("front_wheel_TOI[0] should be equal to front_wheel_TOI[1], front_wheel_TOI[0] used");
    if (backTOI.x != backTOI.y)
        QueryHook2("back_wheel_TOI[0] should be equal to back_wheel_TOI[1], back_wheel_TOI[0] used");
    if (m < 5 * frontMass)
        QueryHook2("front_wheel_mass of wheel does not seem to be much smaller than mass of the chassis.");
    if (m < 5 * backMass)
        QueryHook2("back_wheel_mass of wheel does not seem to be much smaller than mass of the chassis.");
    if (5 * frontTOI.x > t.x || 5 * frontTOI.y > t.y || 5 * frontTOI.z > t.z)
        QueryHook2("front_wheel_TOI of wheel does not seem to be much smaller than chassis_TOI of the chassis.");
    if (5 * backTOI.x > t.x || 5 * backTOI.y > t.y || 5 * backTOI.z > t.z)
        QueryHook2("back_wheel_TOI of wheel does not seem to be much smaller than chassis_TOI of the chassis.");

    const Vector3d offsets[kWheels] = {r0, r1, {r1.x, r1.y, -r1.z}, {r0.x, r0.y, -r0.z}};
    for (int i = 0; i < kWheels; ++i) {
        bool front = i == 0 || i == 3;
        Wheel& w = wheels[i];
        w.offset = offsets[i];
        w.radius = front ? frontRadius : backRadius;
        w.mass = front ? frontMass : backMass;
        w.spinInertia = front ? frontTOI.z : backTOI.z;
        w.inverseSpinInertia = 1.0 / w.spinInertia;
    }
    const double x0 = r0.x, y0 = r0.y, z0 = r0.z, x1 = r1.x, y1 = r1.y, z1 = r1.z;
    const double mf = frontMass, mb = backMass;
    const double total = m + 2 * (mf + mb);
    double ix = 2 * (mf * (y0 * y0 + z0 * z0) + mb * (y1 * y1 + z1 * z1)) + 2 * backTOI.x + 2 * frontTOI.x + t.x;
    double iy = 2 * (mf * (z0 * z0 + x0 * x0) + mb * (z1 * z1 + x1 * x1)) + 2 * backTOI.x + 2 * frontTOI.x + t.y;
    double iz = 2 * (mf * (y0 * y0 + x0 * x0) + mb * (y1 * y1 + x1 * x1)) + t.z;
    const double span = std::fabs(x0) + std::fabs(x1);
    for (int i = 0; i < kWheels; ++i) {
        bool front = i == 0 || i == 3;
        wheels[i].staticLoad = total * (front ? std::fabs(x1) : std::fabs(x0)) / 2 / span;
    }
    for (Wheel& w : wheels) {
        const double x = w.offset.x, z = w.offset.z;
        iz = std::max(iz, 2 * w.staticLoad * x * x);
        ix = std::max(ix, 2 * w.staticLoad * z * z);
        w.verticalMass = 1.0 / (1.0 / total + x * x / iz + z * z / ix);
    }
    for (Wheel& w : wheels) {
        const double x = w.offset.x, z = w.offset.z;
        const double h = w.radius - w.offset.y;
        w.lateralMass = 1.0 / (1.0 / total + x * x / iy + h * h / ix);
        w.longitudinalMass = 1.0 / (1.0 / total + z * z / iy + h * h / iz);
        w.rollingMass = 1.0 / (1.0 / w.longitudinalMass + w.radius * w.radius * w.inverseSpinInertia);
    }
    const double g = Length(gravityValue);
    for (Wheel& w : wheels) {
        w.stiffness = g * w.staticLoad / (w.radius / 3);
        w.damping = 2 * std::sqrt(w.stiffness * w.verticalMass);
        w.displacement = w.displacementShown = w.displacementTarget = 0.0;
    }
    gravity = gravityValue;
    mass = total;
    inertia = {ix, iy, iz};
    chassisMass = m;
    r0Param = r0;
    r1Param = r1;
    chassisTOIParam = chassisTOI;
    configured = true;
    dirty = 1;
    UpdateWheelFrames();
    return 1;
}

bool VehicleModel::CheckWheel(int wheel, const char* operation) const
{
    if (wheel >= 0 && wheel < kWheels)
        return true;
    const_cast<VehicleModel*>(this)->QueryHook1(operation);
    return false;
}

void VehicleModel::UpdateWheelFrames()
{
    RefreshDerived();
    const Vector3d ax = rotation.Row(0), az = rotation.Row(2);
    for (Wheel& w : wheels) {
        w.axis = az * std::cos(w.steerAngle) - ax * std::sin(w.steerAngle);
        Vector3d worldOffset = rotation.TransposeMultiply(w.offset);
        w.mountPosition = position + worldOffset;
        w.mountVelocity = velocity + Cross(angularVelocity, worldOffset);
        w.angularVelocity = w.axis * w.spin + angularVelocity;
    }
}

void VehicleModel::RefreshFrontWheels()
{
    const Vector3d ax = rotation.Row(0), az = rotation.Row(2);
    for (int i : {0, 3}) {
        Wheel& w = wheels[i];
        w.axis = az * std::cos(w.steerAngle) - ax * std::sin(w.steerAngle);
        w.angularVelocity = w.axis * w.spin + angularVelocity;
    }
}

void VehicleModel::ComputeWheelMatrix(int i, Matrix4d& out) const
{
    const Wheel& w = wheels[i];
    const Vector3d ax = rotation.Row(0), up = rotation.Row(1), az = rotation.Row(2);
    const double cs = std::cos(w.steerAngle), sn = std::sin(w.steerAngle);
    const Vector3d forward = ax * cs + az * sn;
    const Vector3d axle = az * cs - ax * sn;
    const double cr = std::cos(w.rollAngle), sr = std::sin(w.rollAngle);
    const Vector3d rows[3] = {forward * cr + up * sr, up * cr - forward * sr, axle};
    for (int r = 0; r < 3; ++r) {
        out.m[r][0] = rows[r].x;
        out.m[r][1] = rows[r].y;
        out.m[r][2] = rows[r].z;
        out.m[r][3] = 0.0;
    }
    const Vector3d centre = w.mountPosition + up * w.displacementShown + chassisOffset;
    out.m[3][0] = centre.x;
    out.m[3][1] = centre.y;
    out.m[3][2] = centre.z;
    out.m[3][3] = 1.0;
}

void VehicleModel::SetSteerAngle(double a)
{
    if (!std::isfinite(a)) {
        QueryHook1("VehicleModel::SetSteerAngle: the angle is not finite; it was refused.");
        return;
    }
    if (a == 0.0) {
        steerInput = 0.0;
        wheels[0].steerAngle = wheels[3].steerAngle = 0.0;
    } else {
        a = ReduceAngle(a);
        steerInput = a;
        const double wheelbase = r0Param.x - r1Param.x;
        const double halfTrack = r0Param.z;
        const double sigma = a >= 0 ? 1.0 : -1.0;
        // Ackermann geometry: the other front wheel's axle line meets this one's on the back axle.
        double v = std::atan(wheelbase * std::sin(a) / (wheelbase * std::cos(a) - 2 * sigma * halfTrack * std::sin(a)));
        if (v * a < 0)
            v = ReduceAngle(v + sigma * std::numbers::pi);
        if (!std::isfinite(v))
            v = a;
        if (a >= 0) {
            wheels[0].steerAngle = v;
            wheels[3].steerAngle = a;
        } else {
            wheels[3].steerAngle = v;
            wheels[0].steerAngle = a;
        }
    }
    if (!dirty)
        RefreshFrontWheels();
}

double VehicleModel::GetWheelSteerAngle(int wheel) const
{
    return CheckWheel(wheel, "VehicleModel::GetWheelSteerAngle: wheel index out of range.") ? wheels[wheel].steerAngle : 0.0;
}

void VehicleModel::GetState(RigidBodyState& state) const
{
    RigidBody::GetState(state);
}

void VehicleModel::SetState(const RigidBodyState& state)
{
    RigidBody::SetState(state);
}

void VehicleModel::GetState(VehicleState& state) const
{
    RigidBody::GetState(state);
    for (int i = 0; i < kWheels; ++i) {
        state.rollAngles[i] = wheels[i].rollAngle;
        state.spinRates[i] = wheels[i].spin;
    }
    state.steerInput = steerInput;
}

void VehicleModel::SetState(const VehicleState& state)
{
    bool finite = IsFinite(static_cast<const RigidBodyState&>(state)) && std::isfinite(state.steerInput);
    for (int i = 0; i < kWheels; ++i)
        finite = finite && std::isfinite(state.rollAngles[i]) && std::isfinite(state.spinRates[i]);
    if (!finite) {
        QueryHook1("VehicleModel::SetState: the state is not finite; it was refused.");
        return;
    }
    RigidBody::SetState(state);
    for (int i = 0; i < kWheels; ++i) {
        wheels[i].rollAngle = ReduceAngle(state.rollAngles[i]);
        wheels[i].spin = state.spinRates[i];
    }
    SetSteerAngle(state.steerInput);
    dirty = 1;
}

void VehicleModel::GetWorldMatrix(Matrix4d& matrix) const
{
    RigidBody::GetWorldMatrix(matrix);
    matrix.m[3][0] += chassisOffset.x;
    matrix.m[3][1] += chassisOffset.y;
    matrix.m[3][2] += chassisOffset.z;
}

void VehicleModel::GetPosition(Vector3d& p) const
{
    p = position + chassisOffset;
}

double VehicleModel::GetWheelRadius(int wheel) const
{
    return CheckWheel(wheel, "VehicleModel::GetWheelRadius: wheel index out of range.") ? wheels[wheel].radius : 0.0;
}

Vector3d VehicleModel::GetWheelPosition(int wheel) const
{
    if (!CheckWheel(wheel, "VehicleModel::GetWheelPosition: wheel index out of range."))
        return {};
    return inQuery ? wheels[wheel].mountPosition : wheels[wheel].matrix.Row(3);
}

Vector3d VehicleModel::GetWheelAxis(int wheel) const
{
    if (!CheckWheel(wheel, "VehicleModel::GetWheelAxis: wheel index out of range."))
        return {};
    return inQuery ? wheels[wheel].axis : wheels[wheel].matrix.Row(2);
}

double VehicleModel::GetWheelSpinRate(int wheel) const
{
    return CheckWheel(wheel, "VehicleModel::GetWheelSpinRate: wheel index out of range.") ? wheels[wheel].spin : 0.0;
}

double VehicleModel::GetWheelRollAngle(int wheel) const
{
    return CheckWheel(wheel, "VehicleModel::GetWheelRollAngle: wheel index out of range.") ? wheels[wheel].rollAngle : 0.0;
}

double VehicleModel::GetWheelHeight(int wheel) const
{
    return CheckWheel(wheel, "VehicleModel::GetWheelHeight: wheel index out of range.") ? wheels[wheel].displacementShown
                                                                                        : 0.0;
}

void VehicleModel::GetWheelMatrix(int wheel, Matrix4d& matrix) const
{
    if (!CheckWheel(wheel, "VehicleModel::GetWheelMatrix: wheel index out of range.")) {
        matrix = Matrix4d{};
        return;
    }
    if (inQuery)
        ComputeWheelMatrix(wheel, matrix);
    else
        matrix = wheels[wheel].matrix;
}

int VehicleModel::GetWheelGroundContact(int wheel) const
{
    if (!CheckWheel(wheel, "VehicleModel::GetWheelGroundContact: wheel index out of range."))
        return -1;
    const Wheel& w = wheels[wheel];
    if (w.contactCount == 0)
        return -1;
    for (int k = 0; k < w.contactCount; ++k)
        if (w.contacts[k].sliding)
            return 1;
    return 0;
}

int VehicleModel::GetWheelContactState() const
{
    int state = -1;
    for (int i = 0; i < kWheels; ++i)
        state = std::max(state, GetWheelGroundContact(i));
    return state;
}

double VehicleModel::GetWheelTangentialSpeed(int wheel) const
{
    return CheckWheel(wheel, "VehicleModel::GetWheelTangentialSpeed: wheel index out of range.")
               ? wheels[wheel].tangentialSpeed
               : -1.0;
}

Vector3d VehicleModel::GetWheelRollingForce(int wheel) const
{
    if (!CheckWheel(wheel, "VehicleModel::GetWheelRollingForce: wheel index out of range."))
        return {};
    const Wheel& w = wheels[wheel];
    if (w.contactCount == 0)
        return {};
    return w.contacts[0].tangent1 * w.activeForce1 + w.contacts[0].tangent2 * w.activeForce2;
}

double VehicleModel::GetWheelFrictionUse(int wheel) const
{
    return CheckWheel(wheel, "VehicleModel::GetWheelFrictionUse: wheel index out of range.") ? wheels[wheel].frictionUse
                                                                                            : -1.0;
}

void VehicleModel::ClearWheelContacts(int wheel)
{
    if (CheckWheel(wheel, "VehicleModel::ClearWheelContacts: wheel index out of range."))
        wheels[wheel].contactCount = 0;
}

bool VehicleModel::AddWheelContact(int wheel, const Vector3d& normal, const Vector3d& point, double depth)
{
    if (!CheckWheel(wheel, "VehicleModel::AddWheelContact: wheel index out of range."))
        return false;
    Wheel& w = wheels[wheel];
    if (w.contactCount >= kMaxContacts)
        return false;
    if (!IsFinite(normal) || !IsFinite(point) || !std::isfinite(depth) || Length(normal) == 0.0) {
        QueryHook1("VehicleModel::AddWheelContact: the contact is not finite or has no normal; it was dropped.");
        return false;
    }
    WheelContact& c = w.contacts[w.contactCount++];
    c = WheelContact{};
    c.normal = Normalized(normal);
    c.point = point;
    c.depth = depth;
    return true;
}

int VehicleModel::GetWheelContactCount(int wheel) const
{
    return CheckWheel(wheel, "VehicleModel::GetWheelContactCount: wheel index out of range.") ? wheels[wheel].contactCount
                                                                                             : 0;
}

const WheelContact& VehicleModel::GetWheelContact(int wheel, int index) const
{
    if (!CheckWheel(wheel, "VehicleModel::GetWheelContact: wheel index out of range.") || index < 0 ||
        index >= wheels[wheel].contactCount)
        return kNoContact;
    return wheels[wheel].contacts[index];
}

void VehicleModel::SetWheelHold(int wheel, int hold)
{
    if (CheckWheel(wheel, "VehicleModel::SetWheelHold: wheel index out of range."))
        wheels[wheel].hold = hold ? 1 : 0;
}

int VehicleModel::GetWheelHold(int wheel) const
{
    return CheckWheel(wheel, "VehicleModel::GetWheelHold: wheel index out of range.") ? wheels[wheel].hold : 0;
}

void VehicleModel::SetWheelBrakeTorque(int wheel, double torque)
{
    if (!CheckWheel(wheel, "VehicleModel::SetWheelBrakeTorque: wheel index out of range."))
        return;
    if (!std::isfinite(torque)) {
        QueryHook1("VehicleModel::SetWheelBrakeTorque: the torque is not finite; it was refused.");
        return;
    }
    wheels[wheel].brakeTorque = std::fabs(torque);
}

double VehicleModel::GetWheelBrakeTorque(int wheel) const
{
    return CheckWheel(wheel, "VehicleModel::GetWheelBrakeTorque: wheel index out of range.") ? wheels[wheel].brakeTorque
                                                                                            : 0.0;
}

void VehicleModel::SetWheelDriveTorque(int wheel, double torque)
{
    if (!CheckWheel(wheel, "VehicleModel::SetWheelDriveTorque: wheel index out of range."))
        return;
    if (!std::isfinite(torque)) {
        QueryHook1("VehicleModel::SetWheelDriveTorque: the torque is not finite; it was refused.");
        return;
    }
    wheels[wheel].driveTorque = torque;
}

double VehicleModel::GetWheelDriveTorque(int wheel) const
{
    return CheckWheel(wheel, "VehicleModel::GetWheelDriveTorque: wheel index out of range.") ? wheels[wheel].driveTorque
                                                                                            : 0.0;
}

void VehicleModel::SetWheelFriction(int wheel, double coefficient)
{
    if (!CheckWheel(wheel, "VehicleModel::SetWheelFriction: wheel index out of range."))
        return;
    if (!std::isfinite(coefficient) || coefficient < 0) {
        QueryHook1("VehicleModel::SetWheelFriction: the friction coefficient must be finite and not negative.");
        return;
    }
    wheels[wheel].friction = coefficient;
}

double VehicleModel::GetWheelFriction(int wheel) const
{
    return CheckWheel(wheel, "VehicleModel::GetWheelFriction: wheel index out of range.") ? wheels[wheel].friction : 0.0;
}

void VehicleModel::SetWheelStiffness(int wheel, double stiffness)
{
    if (!CheckWheel(wheel, "VehicleModel::SetWheelStiffness: wheel index out of range."))
        return;
    if (!std::isfinite(stiffness) || !(stiffness > 0)) {
        QueryHook1("VehicleModel::SetWheelStiffness: the stiffness must be positive and finite.");
        return;
    }
    wheels[wheel].stiffness = stiffness;
}

double VehicleModel::GetWheelStiffness(int wheel) const
{
    return CheckWheel(wheel, "VehicleModel::GetWheelStiffness: wheel index out of range.") ? wheels[wheel].stiffness : 0.0;
}

void VehicleModel::SetWheelDamping(int wheel, double damping)
{
    if (!CheckWheel(wheel, "VehicleModel::SetWheelDamping: wheel index out of range."))
        return;
    if (!std::isfinite(damping) || damping < 0) {
        QueryHook1("VehicleModel::SetWheelDamping: the damping must be finite and not negative.");
        return;
    }
    wheels[wheel].damping = damping;
}

double VehicleModel::GetWheelDamping(int wheel) const
{
    return CheckWheel(wheel, "VehicleModel::GetWheelDamping: wheel index out of range.") ? wheels[wheel].damping : 0.0;
}

void VehicleModel::SetWheelPersistentSpinTorque(int wheel, double torque)
{
    if (!CheckWheel(wheel, "VehicleModel::SetWheelPersistentSpinTorque: wheel index out of range."))
        return;
    if (!std::isfinite(torque)) {
        QueryHook1("VehicleModel::SetWheelPersistentSpinTorque: the torque is not finite; it was refused.");
        return;
    }
    wheels[wheel].persistentSpinTorque = torque;
    wheels[wheel].spinTorque = torque;
}

void VehicleModel::AddWheelSpinImpulse(int wheel, double impulse)
{
    if (!CheckWheel(wheel, "VehicleModel::AddWheelSpinImpulse: wheel index out of range."))
        return;
    if (!std::isfinite(impulse)) {
        QueryHook1("VehicleModel::AddWheelSpinImpulse: the impulse is not finite; it was ignored.");
        return;
    }
    wheels[wheel].spinImpulse += impulse;
}

double VehicleModel::GetWheelStaticLoad(int wheel) const
{
    return CheckWheel(wheel, "VehicleModel::GetWheelStaticLoad: wheel index out of range.") ? wheels[wheel].staticLoad : 0.0;
}

double VehicleModel::GetWheelVerticalMass(int wheel) const
{
    return CheckWheel(wheel, "VehicleModel::GetWheelVerticalMass: wheel index out of range.") ? wheels[wheel].verticalMass
                                                                                             : 0.0;
}

double VehicleModel::GetWheelLateralMass(int wheel) const
{
    return CheckWheel(wheel, "VehicleModel::GetWheelLateralMass: wheel index out of range.") ? wheels[wheel].lateralMass
                                                                                            : 0.0;
}

double VehicleModel::GetWheelLongitudinalMass(int wheel) const
{
    return CheckWheel(wheel, "VehicleModel::GetWheelLongitudinalMass: wheel index out of range.")
               ? wheels[wheel].longitudinalMass
               : 0.0;
}

double VehicleModel::GetWheelRollingMass(int wheel) const
{
    return CheckWheel(wheel, "VehicleModel::GetWheelRollingMass: wheel index out of range.") ? wheels[wheel].rollingMass
                                                                                            : 0.0;
}

double VehicleModel::GetWheelSpinInertia(int wheel) const
{
    return CheckWheel(wheel, "VehicleModel::GetWheelSpinInertia: wheel index out of range.") ? wheels[wheel].spinInertia
                                                                                            : 0.0;
}

void VehicleModel::GetCriticalDamping(double out[kWheels]) const
{
    for (int i = 0; i < kWheels; ++i)
        out[i] = 2 * std::sqrt(wheels[i].stiffness * wheels[i].verticalMass);
}

double VehicleModel::SuggestedTimeStep() const
{
    if (!configured) {
        const_cast<VehicleModel*>(this)->QueryHook1("VehicleModel::SuggestedTimeStep: the body parameters are not set.");
        return 0.0;
    }
    const double g = Length(gravity);
    double shortest = 2 * std::numbers::pi * std::sqrt(mass / (mass * g / 4 / (10 * wheels[0].radius)));
    for (const Wheel& w : wheels)
        shortest = std::min(shortest, 2 * std::numbers::pi * std::sqrt(w.verticalMass / w.stiffness));
    return 0.1 * shortest;
}

void VehicleModel::SetSlidingThreshold(double speed)
{
    if (!std::isfinite(speed) || speed < 0) {
        QueryHook1("VehicleModel::SetSlidingThreshold: the threshold must be finite and not negative.");
        return;
    }
    slidingThreshold = speed;
}

void VehicleModel::AddWheelForce(const Vector3d& f, const Vector3d& point, int wheel)
{
    if (!CheckWheel(wheel, "VehicleModel::AddWheelForce: wheel index out of range."))
        return;
    const Wheel& w = wheels[wheel];
    if (w.directForce) {
        AddForceAtPoint(f, point);
    } else {
        AddForceAtPoint(f, w.mountPosition);
        AddWheelTorque(Cross(point - w.mountPosition, f), wheel);
    }
}

void VehicleModel::AddWheelTorque(const Vector3d& t, int wheel)
{
    if (!CheckWheel(wheel, "VehicleModel::AddWheelTorque: wheel index out of range."))
        return;
    if (!IsFinite(t)) {
        QueryHook1("VehicleModel::AddWheelTorque: the torque is not finite; it was ignored.");
        return;
    }
    Wheel& w = wheels[wheel];
    double along = Dot(t, w.axis);
    w.spinTorque += along;
    AddTorque(t - w.axis * along);
}

void VehicleModel::AddMountForce(const Vector3d& f, int wheel)
{
    if (CheckWheel(wheel, "VehicleModel::AddMountForce: wheel index out of range."))
        AddForceAtPoint(f, wheels[wheel].mountPosition);
}
