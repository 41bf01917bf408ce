// The rules' own sine, cosine and friction power. A replay proves a score
// only if every build plays it to the same bits, and C libraries (even one
// library on two CPUs) round these functions differently. Each function here
// gives the correctly rounded float result, computed with IEEE-754 double and
// integer operations alone, in a fixed order: every platform and compiler
// gets the same bits, and wherever a C library already rounds correctly
// (nearly everywhere) they agree with it.
#pragma once

#include <cstdint>

// sin(x) and cos(x) of x in radians, correctly rounded for every float x
// (huge ones too: the argument is reduced exactly). NaN for NaN and the
// infinities; RulesSin(-0) is -0.
float RulesSin(float x);
float RulesCos(float x);

// base raised to dt, the share of a velocity friction leaves after dt
// seconds. Correctly rounded for the rules' friction bases (0.75, 0.0625) and
// every dt in [0.001, 0.1]; within one unit in the last place for other
// positive finite bases and dt. NaN when base is not positive and finite or
// dt is NaN.
float FrictionPower(float base, float dt);

// What each function above rounds to float, before its table of the few
// inputs whose double is too close to a rounding boundary to round right: the
// proof tool compares these with a reference of higher precision. Relative
// error well under 2^-50.
double RulesSinApprox(float x);
double RulesCosApprox(float x);
double FrictionPowerApprox(float base, float dt);
