#include "physics/RollingForces.h"

#include <cmath>

void StraightRollingForces(Vector3d out[4], const double torques[4], double x0, double z0, double x1,
                           double z1, double gx, double gz, double rhoF, double rhoB, double mass,
                           double jf, double jb)
{
    const double rf2 = rhoF * rhoF, rb2 = rhoB * rhoB;
    const double d = 2 * jf * rb2 + 2 * jb * rf2 + mass * rf2 * rb2;
    const double a =
        rf2 * rb2 * (mass * gx + (torques[0] + torques[3]) / rhoF + (torques[1] + torques[2]) / rhoB) / d;
    const double rho[4] = {rhoF, rhoB, rhoB, rhoF};
    const double j[4] = {jf, jb, jb, jf};
    for (int i = 0; i < 4; ++i)
        out[i] = {(torques[i] - j[i] * a / rho[i]) / rho[i], 0.0, 0.0};
    // The lateral forces of the front-left and back-left wheels cancel the turning moment of the
    // rolling forces and the sideways pull of gravity, so the vehicle neither drifts nor turns.
    const double k = z0 * (torques[0] - torques[3]) / rhoF + z1 * (torques[1] - torques[2]) / rhoB;
    out[0].z = (x1 * mass * gz + k) / (x0 - x1);
    out[1].z = -(x0 * mass * gz + k) / (x0 - x1);
}

namespace {

constexpr int kUnknowns = 7;

// Gaussian elimination with partial pivoting; false when the matrix is (numerically) singular.
bool SolveLinearSystem(double m[kUnknowns][kUnknowns + 1], double x[kUnknowns])
{
    double scale = 0.0;
    for (int r = 0; r < kUnknowns; ++r)
        for (int c = 0; c < kUnknowns; ++c)
            scale = std::fmax(scale, std::fabs(m[r][c]));
    if (!(scale > 0.0) || !std::isfinite(scale))
        return false;
    for (int col = 0; col < kUnknowns; ++col) {
        int pivot = col;
        for (int r = col + 1; r < kUnknowns; ++r)
            if (std::fabs(m[r][col]) > std::fabs(m[pivot][col]))
                pivot = r;
        if (std::fabs(m[pivot][col]) <= scale * 1e-12)
            return false;
        if (pivot != col)
            for (int c = 0; c <= kUnknowns; ++c)
                std::swap(m[pivot][c], m[col][c]);
        for (int r = col + 1; r < kUnknowns; ++r) {
            double f = m[r][col] / m[col][col];
            for (int c = col; c <= kUnknowns; ++c)
                m[r][c] -= f * m[col][c];
        }
    }
    for (int r = kUnknowns - 1; r >= 0; --r) {
        double sum = m[r][kUnknowns];
        for (int c = r + 1; c < kUnknowns; ++c)
            sum -= m[r][c] * x[c];
        x[r] = sum / m[r][r];
        if (!std::isfinite(x[r]))
            return false;
    }
    return true;
}

void StoreWheel(double* pattern, int wheel, double fx, double fz)
{
    pattern[wheel] = fx;
    pattern[4 + wheel] = 0.0;
    pattern[8 + wheel] = fz;
}

}  // namespace

bool SteeredRollingForces(double work[kRollingWorkSize], const double torques[4], double x0, double z0,
                          double x1, double z1, double gx, double gz, double rhoF, double rhoB,
                          double mass, double iy, double jf, double jb, double d0)
{
    const double wheelbase = x0 - x1;
    const double s0 = std::sin(d0), cs0 = std::cos(d0);
    const double turnDenominator = z0 * s0 + wheelbase * cs0;
    if (std::fabs(s0) < 1e-12 || std::fabs(turnDenominator) < 1e-12 * (std::fabs(z0) + std::fabs(wheelbase)))
        return false;
    const double c0 = cs0 / s0;
    const double c3 = c0 + 2 * z0 / wheelbase;
    const double d3 = std::atan(1.0 / c3);
    const double s3 = std::sin(d3), cs3 = std::cos(d3);
    // Rolling without sliding turns the body about the point of the back axle line where the
    // wheels' axle lines meet: alpha = k a and a_z = alpha x1.
    const double k = -s0 / turnDenominator;

    // Each wheel's ground-point acceleration along its rolling direction, per unit of a.
    const double wx[4] = {x0, x1, x1, x0};
    const double wz[4] = {z0, z1, -z1, -z0};
    const double cosd[4] = {cs0, 1.0, 1.0, cs3};
    const double sind[4] = {s0, 0.0, 0.0, s3};
    const double rho[4] = {rhoF, rhoB, rhoB, rhoF};
    const double j[4] = {jf, jb, jb, jf};
    double rollingTerm[4];
    for (int i = 0; i < 4; ++i) {
        double g = (1 + k * wz[i]) * cosd[i] + k * (x1 - wx[i]) * sind[i];
        rollingTerm[i] = j[i] * g / (rho[i] * rho[i]);
    }

    // Unknowns: Fx0, Fz0, Fx1, Fz1, Fx2, Fz3, a (Fx3 = 0 and Fz2 = 0 in the particular solution).
    enum { Fx0, Fz0, Fx1, Fz1, Fx2, Fz3, A };
    double m[kUnknowns][kUnknowns + 1] = {};
    m[0][A] = mass;
    m[0][Fx0] = m[0][Fx1] = m[0][Fx2] = -1;
    m[0][kUnknowns] = mass * gx;
    m[1][A] = mass * k * x1;
    m[1][Fz0] = m[1][Fz1] = m[1][Fz3] = -1;
    m[1][kUnknowns] = mass * gz;
    m[2][A] = iy * k;
    m[2][Fx0] = -wz[0];
    m[2][Fz0] = wx[0];
    m[2][Fx1] = -wz[1];
    m[2][Fz1] = wx[1];
    m[2][Fx2] = -wz[2];
    m[2][Fz3] = wx[3];
    m[3][Fx0] = cosd[0];
    m[3][Fz0] = sind[0];
    m[3][A] = rollingTerm[0];
    m[3][kUnknowns] = torques[0] / rho[0];
    m[4][Fx1] = 1;
    m[4][A] = rollingTerm[1];
    m[4][kUnknowns] = torques[1] / rho[1];
    m[5][Fx2] = 1;
    m[5][A] = rollingTerm[2];
    m[5][kUnknowns] = torques[2] / rho[2];
    m[6][Fz3] = sind[3];
    m[6][A] = rollingTerm[3];
    m[6][kUnknowns] = torques[3] / rho[3];
    double x[kUnknowns];
    if (!SolveLinearSystem(m, x))
        return false;

    double* w = work;
    double* u = work + 12;
    double* v = work + 24;
    StoreWheel(w, 0, x[Fx0], x[Fz0]);
    StoreWheel(w, 1, x[Fx1], x[Fz1]);
    StoreWheel(w, 2, x[Fx2], 0.0);
    StoreWheel(w, 3, 0.0, x[Fz3]);
    StoreWheel(u, 0, 0.0, 0.0);
    StoreWheel(u, 1, 0.0, -1.0);
    StoreWheel(u, 2, 0.0, 1.0);
    StoreWheel(u, 3, 0.0, 0.0);
    StoreWheel(v, 0, -1.0, c0);
    StoreWheel(v, 1, 0.0, 2 * z0 / wheelbase);
    StoreWheel(v, 2, 0.0, 0.0);
    StoreWheel(v, 3, 1.0, -c3);
    return true;
}

void LeastSquaresWheelForces(Vector3d out[4], const double work[kRollingWorkSize])
{
    const double* w = work;
    const double* u = work + 12;
    const double* v = work + 24;
    double suu = 0, svv = 0, suv = 0, swu = 0, swv = 0;
    for (int i = 0; i < 12; ++i) {
        suu += u[i] * u[i];
        svv += v[i] * v[i];
        suv += u[i] * v[i];
        swu += w[i] * u[i];
        swv += w[i] * v[i];
    }
    const double det = suu * svv - suv * suv;
    const double p = (swv * suv - swu * svv) / det;
    const double q = (swu * suv - swv * suu) / det;
    for (int i = 0; i < 4; ++i)
        out[i] = {w[i] + p * u[i] + q * v[i], w[4 + i] + p * u[4 + i] + q * v[4 + i],
                  w[8 + i] + p * u[8 + i] + q * v[8 + i]};
}
