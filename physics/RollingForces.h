#pragma once

#include "physics/DoubleMath.h"

// Closed-form tyre forces of four wheels that all roll without sliding. Inputs are body-frame
// quantities (x forward, y up, z sideways): the wheel torques T0..T3, the wheel offsets' x and z
// (wheel 0 at (x0, z0), 1 at (x1, z1), 2 at (x1, -z1), 3 at (x0, -z0)), gravity within the ground
// plane (gx, gz), the rolling levers rhoF and rhoB (minus the wheel radii when upright), the total
// mass, the yaw inertia iy and the spin inertias jf and jb of one front and one back wheel.
// Results are body-frame forces per wheel with y = 0.

// Work area of the steered form: three patterns W, U, V of 12 values each, every pattern stored as
// the x components of wheels 0-3, then the y components, then the z components.
constexpr int kRollingWorkSize = 36;

void StraightRollingForces(Vector3d out[4], const double torques[4], double x0, double z0, double x1,
                           double z1, double gx, double gz, double rhoF, double rhoB, double mass,
                           double jf, double jb);

// Fills the particular solution W and the null patterns U and V. Returns false, leaving the work
// area unspecified, when the steering geometry is degenerate (wheel 0 straight or turned about
// its own contact line, or a singular system); the caller then takes the straight form.
bool SteeredRollingForces(double work[kRollingWorkSize], const double torques[4], double x0, double z0,
                          double x1, double z1, double gx, double gz, double rhoF, double rhoB,
                          double mass, double iy, double jf, double jb, double d0);

// W + pU + qV with the least sum of squares.
void LeastSquaresWheelForces(Vector3d out[4], const double work[kRollingWorkSize]);

