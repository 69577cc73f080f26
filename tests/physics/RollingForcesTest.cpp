#include "physics/RollingForces.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>

namespace {

struct Geometry {
    double x0 = 1.5, z0 = 0.8, x1 = -1.5, z1 = 0.8;
    double gx = 0.0, gz = 0.0;
    double rhoF = -0.4, rhoB = -0.4;
    double mass = 1280.0, iy = 2234.4, jf = 1.6, jb = 1.6;
};

struct Motion {
    double delta[4] = {};  // rolling directions of the wheels
    double k = 0.0;        // alpha = k a
};

// The seven equations of rolling without sliding, written as residuals (0 when satisfied).
std::array<double, 7> Residuals(const Geometry& g, const Motion& m, const double t[4], const Vector3d f[4], double a)
{
    const double wx[4] = {g.x0, g.x1, g.x1, g.x0};
    const double wz[4] = {g.z0, g.z1, -g.z1, -g.z0};
    const double rho[4] = {g.rhoF, g.rhoB, g.rhoB, g.rhoF};
    const double j[4] = {g.jf, g.jb, g.jb, g.jf};
    const double alpha = m.k * a, az = alpha * g.x1;
    std::array<double, 7> r{};
    r[0] = g.mass * a - g.mass * g.gx;
    r[1] = g.mass * az - g.mass * g.gz;
    r[2] = g.iy * alpha;
    for (int i = 0; i < 4; ++i) {
        r[0] -= f[i].x;
        r[1] -= f[i].z;
        r[2] -= wz[i] * f[i].x - wx[i] * f[i].z;
        const double c = std::cos(m.delta[i]), s = std::sin(m.delta[i]);
        const double along = (a + alpha * wz[i]) * c + (az - alpha * wx[i]) * s;
        r[3 + i] = f[i].x * c + f[i].z * s - (t[i] - j[i] * along / rho[i]) / rho[i];
    }
    return r;
}

// Solves the equations for 7 chosen unknowns (the rest of the forces 0) by probing the residuals
// (they are linear) and Gauss-Jordan elimination with full pivoting in long double.
struct DirectSolution {
    Vector3d forces[4];
    double a = 0.0;
};

DirectSolution SolveDirectly(const Geometry& g, const Motion& m, const double t[4],
                             const std::array<std::pair<int, int>, 6>& unknownForces)
{
    // Unknown u: 0-5 the listed (wheel, component 0 = x / 2 = z) force values, 6 the acceleration.
    auto evaluate = [&](const std::array<long double, 7>& u) {
        Vector3d f[4];
        for (int k = 0; k < 6; ++k)
            f[unknownForces[k].first][unknownForces[k].second] = static_cast<double>(u[k]);
        return Residuals(g, m, t, f, static_cast<double>(u[6]));
    };
    std::array<long double, 7> zero{};
    const auto base = evaluate(zero);
    long double mat[7][8];
    for (int c = 0; c < 7; ++c) {
        std::array<long double, 7> e{};
        e[c] = 1.0L;
        const auto col = evaluate(e);
        for (int r = 0; r < 7; ++r)
            mat[r][c] = static_cast<long double>(col[r]) - base[r];
    }
    for (int r = 0; r < 7; ++r)
        mat[r][7] = -static_cast<long double>(base[r]);
    int order[7] = {0, 1, 2, 3, 4, 5, 6};
    for (int p = 0; p < 7; ++p) {
        int br = p, bc = p;
        for (int r = p; r < 7; ++r)
            for (int c = p; c < 7; ++c)
                if (std::fabs(mat[r][c]) > std::fabs(mat[br][bc])) {
                    br = r;
                    bc = c;
                }
        for (int c = 0; c < 8; ++c)
            std::swap(mat[p][c], mat[br][c]);
        for (int r = 0; r < 7; ++r)
            std::swap(mat[r][p], mat[r][bc]);
        std::swap(order[p], order[bc]);
        for (int r = 0; r < 7; ++r) {
            if (r == p)
                continue;
            long double f = mat[r][p] / mat[p][p];
            for (int c = p; c < 8; ++c)
                mat[r][c] -= f * mat[p][c];
        }
    }
    std::array<long double, 7> u{};
    for (int p = 0; p < 7; ++p)
        u[order[p]] = mat[p][7] / mat[p][p];
    DirectSolution s;
    for (int k = 0; k < 6; ++k)
        s.forces[unknownForces[k].first][unknownForces[k].second] = static_cast<double>(u[k]);
    s.a = static_cast<double>(u[6]);
    return s;
}

double AccelerationFrom(const Geometry& g, const Vector3d f[4])
{
    return g.gx + (f[0].x + f[1].x + f[2].x + f[3].x) / g.mass;
}

struct Case {
    const char* name;
    double torques[4];
    std::function<void(Geometry&)> change;
};

const Case kCases[] = {
    {"back-wheel drive on level ground", {0, -800, -800, 0}, [](Geometry&) {}},
    {"braking every wheel on a slope", {300, 250, 250, 300}, [](Geometry& g) { g.gx = -1.2; }},
    {"uneven torques with sideways gravity", {120, -900, -400, 60}, [](Geometry& g) { g.gz = 0.7; }},
    {"unequal wheels and wheelbase", {-50, -600, -650, 40},
     [](Geometry& g) {
         g.x0 = 1.2;
         g.x1 = -1.8;
         g.z1 = 0.9;
         g.rhoF = -0.45;
         g.rhoB = -0.35;
         g.jf = 2.0;
         g.jb = 1.1;
         g.gx = 0.3;
         g.gz = -0.4;
     }},
    {"upside down (levers +radius)", {0, -800, -800, 0},
     [](Geometry& g) {
         g.rhoF = 0.4;
         g.rhoB = 0.4;
     }},
};

void ExpectNear(const Vector3d& a, const Vector3d& b, double tolerance, const char* what)
{
    EXPECT_NEAR(a.x, b.x, tolerance) << what;
    EXPECT_NEAR(a.y, b.y, tolerance) << what;
    EXPECT_NEAR(a.z, b.z, tolerance) << what;
}

TEST(RollingForces, StraightFormMatchesADirectSolutionOfItsEquations)
{
    for (const Case& c : kCases) {
        Geometry g;
        c.change(g);
        Vector3d forces[4];
        StraightRollingForces(forces, c.torques, g.x0, g.z0, g.x1, g.z1, g.gx, g.gz, g.rhoF, g.rhoB, g.mass, g.jf, g.jb);
        // Unknowns: the four rolling forces and the lateral forces of wheels 0 and 1.
        const DirectSolution direct = SolveDirectly(g, Motion{}, c.torques, {{{0, 0}, {1, 0}, {2, 0}, {3, 0}, {0, 2}, {1, 2}}});
        for (int i = 0; i < 4; ++i)
            ExpectNear(forces[i], direct.forces[i], 1e-8, c.name);
        EXPECT_NEAR(AccelerationFrom(g, forces), direct.a, 1e-12) << c.name;
        EXPECT_EQ(forces[2].z, 0.0) << c.name;
        EXPECT_EQ(forces[3].z, 0.0) << c.name;
        EXPECT_NEAR(forces[0].z + forces[1].z, -g.mass * g.gz, 1e-9) << c.name;
    }
}

TEST(RollingForces, SteeredFormMatchesADirectSolutionAndItsLeastSquaresChoice)
{
    for (double d0 : {0.3, -0.25, 0.0011, 1.2}) {
        for (const Case& c : kCases) {
            Geometry g;
            c.change(g);
            double work[kRollingWorkSize];
            ASSERT_TRUE(SteeredRollingForces(work, c.torques, g.x0, g.z0, g.x1, g.z1, g.gx, g.gz, g.rhoF, g.rhoB, g.mass,
                                             g.iy, g.jf, g.jb, d0));
            Motion m;
            const double wheelbase = g.x0 - g.x1;
            const double c3 = 1 / std::tan(d0) + 2 * g.z0 / wheelbase;
            m.delta[0] = d0;
            m.delta[3] = std::atan(1 / c3);
            m.k = -std::sin(d0) / (g.z0 * std::sin(d0) + wheelbase * std::cos(d0));
            // The particular solution: Fx3 = 0, Fz2 = 0.
            const DirectSolution direct =
                SolveDirectly(g, m, c.torques, {{{0, 0}, {0, 2}, {1, 0}, {1, 2}, {2, 0}, {3, 2}}});
            Vector3d w[4];
            for (int i = 0; i < 4; ++i) {
                w[i] = {work[i], work[4 + i], work[8 + i]};
                ExpectNear(w[i], direct.forces[i], 1e-7 * (1 + Length(direct.forces[i])), c.name);
            }
            Vector3d forces[4];
            LeastSquaresWheelForces(forces, work);
            const double a = AccelerationFrom(g, forces);
            EXPECT_NEAR(a, direct.a, 1e-9) << c.name << " the acceleration does not depend on the least-squares step";
            for (double r : Residuals(g, m, c.torques, forces, a))
                EXPECT_NEAR(r, 0.0, 1e-7) << c.name << " " << d0;
            // Adding the null patterns changes no equation; the chosen mix has the least squares.
            double best = 0.0;
            for (int i = 0; i < 4; ++i)
                best += Dot(forces[i], forces[i]);
            Vector3d shifted[4];
            for (int i = 0; i < 4; ++i)
                shifted[i] = forces[i] + Vector3d{work[12 + i], 0, work[20 + i]} * 3.0 - Vector3d{work[24 + i], 0, work[32 + i]} * 2.0;
            for (double r : Residuals(g, m, c.torques, shifted, a))
                EXPECT_NEAR(r, 0.0, 1e-7) << c.name;
            for (auto [dp, dq] : {std::pair{1e-3, 0.0}, {-1e-3, 0.0}, {0.0, 1e-3}, {0.0, -1e-3}, {1e-3, -1e-3}}) {
                double sum = 0.0;
                for (int i = 0; i < 4; ++i) {
                    Vector3d v = forces[i] + Vector3d{work[12 + i], 0, work[20 + i]} * dp +
                                 Vector3d{work[24 + i], 0, work[32 + i]} * dq;
                    sum += Dot(v, v);
                }
                EXPECT_GT(sum, best) << c.name;
            }
        }
    }
}

TEST(RollingForces, NoTorqueAndNoGravityGiveNoForce)
{
    const double none[4] = {0, 0, 0, 0};
    Geometry g;
    Vector3d forces[4];
    StraightRollingForces(forces, none, g.x0, g.z0, g.x1, g.z1, 0, 0, g.rhoF, g.rhoB, g.mass, g.jf, g.jb);
    for (const Vector3d& f : forces)
        EXPECT_EQ(Length(f), 0.0);
    double work[kRollingWorkSize];
    ASSERT_TRUE(SteeredRollingForces(work, none, g.x0, g.z0, g.x1, g.z1, 0, 0, g.rhoF, g.rhoB, g.mass, g.iy, g.jf, g.jb, 0.4));
    LeastSquaresWheelForces(forces, work);
    for (const Vector3d& f : forces)
        EXPECT_NEAR(Length(f), 0.0, 1e-12);
}

TEST(RollingForces, StraightFormHandWorkedCases)
{
    Geometry g;
    // Equal wheels and torques: a = (M gx + 4 T / rho) / (M + 4 J / rho^2).
    const double t = 200.0;
    const double equal[4] = {t, t, t, t};
    g.gx = -0.5;
    Vector3d forces[4];
    StraightRollingForces(forces, equal, g.x0, g.z0, g.x1, g.z1, g.gx, 0, g.rhoF, g.rhoB, g.mass, g.jf, g.jb);
    const double a = (g.mass * g.gx + 4 * t / g.rhoF) / (g.mass + 4 * g.jf / (g.rhoF * g.rhoF));
    EXPECT_NEAR(AccelerationFrom(g, forces), a, 1e-12);
    double rolling = 0.0;
    for (const Vector3d& f : forces)
        rolling += f.x;
    EXPECT_NEAR(rolling, g.mass * (a - g.gx), 1e-9);
    // Matched left and right torques without sideways gravity need no lateral force.
    EXPECT_EQ(forces[0].z, 0.0);
    EXPECT_EQ(forces[1].z, 0.0);
    // Drive D on each back wheel enters as T = -D: the car accelerates, the back wheels push forward.
    const double drive[4] = {0, -500, -500, 0};
    StraightRollingForces(forces, drive, g.x0, g.z0, g.x1, g.z1, 0, 0, g.rhoF, g.rhoB, g.mass, g.jf, g.jb);
    EXPECT_GT(AccelerationFrom(g, forces), 0.0);
    EXPECT_GT(forces[1].x, 0.0);
    EXPECT_GT(forces[2].x, 0.0);
    EXPECT_LT(forces[0].x, 0.0);  // the front wheels' spin-up holds back a little
}

TEST(RollingForces, SteeredFormRefusesDegenerateAngles)
{
    const double drive[4] = {0, -500, -500, 0};
    Geometry g;
    double work[kRollingWorkSize];
    EXPECT_FALSE(SteeredRollingForces(work, drive, g.x0, g.z0, g.x1, g.z1, 0, 0, g.rhoF, g.rhoB, g.mass, g.iy, g.jf,
                                      g.jb, 0.0));
    // Wheel 0 turned so far that the turning centre lies at the centre of mass' side.
    const double d0 = std::atan2(-(g.x0 - g.x1), g.z0);
    EXPECT_FALSE(SteeredRollingForces(work, drive, g.x0, g.z0, g.x1, g.z1, 0, 0, g.rhoF, g.rhoB, g.mass, g.iy, g.jf,
                                      g.jb, d0));
}

}  // namespace
