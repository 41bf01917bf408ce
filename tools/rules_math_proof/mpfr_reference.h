// The rules' functions as GNU MPFR computes them: correctly rounded float
// results, and the exact value at a precision far above double's.
#pragma once

enum class RulesFunction { Sin, Cos, Power };

struct Arguments {
    float x;     // the sine's or cosine's argument, or the power's exponent dt
    float base;  // the power's base
};

// The float nearest the exact result (round to nearest, subnormals as IEEE-754
// has them), or the floats just below and above it when `toward` is -1 or +1.
float ReferenceFloat(RulesFunction function, Arguments arguments, int toward = 0);

// |approx - exact| / |exact|, the exact value taken to 200 bits; 0 when
// exact is 0 or not finite.
double RelativeError(RulesFunction function, Arguments arguments, double approx);
