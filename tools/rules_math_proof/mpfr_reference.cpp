#include "tools/rules_math_proof/mpfr_reference.h"

#include <mpfr.h>

namespace {

// An MPFR number that frees itself.
struct Number {
    mpfr_t value;
    explicit Number(mpfr_prec_t precision) { mpfr_init2(value, precision); }
    ~Number() { mpfr_clear(value); }
    Number(const Number&) = delete;
    Number& operator=(const Number&) = delete;
};

int Compute(RulesFunction function, Arguments arguments, mpfr_ptr out, mpfr_rnd_t rounding) {
    Number x(24), base(24);
    mpfr_set_flt(x.value, arguments.x, MPFR_RNDN);
    mpfr_set_flt(base.value, arguments.base, MPFR_RNDN);
    switch (function) {
        case RulesFunction::Sin:
            return mpfr_sin(out, x.value, rounding);
        case RulesFunction::Cos:
            return mpfr_cos(out, x.value, rounding);
        case RulesFunction::Power:
            return mpfr_pow(out, base.value, x.value, rounding);
    }
    return 0;
}

// Float's exponent range for as long as it lives, so that MPFR rounds into
// subnormals and overflows as a float would.
struct FloatExponentRange {
    mpfr_exp_t emin = mpfr_get_emin(), emax = mpfr_get_emax();
    FloatExponentRange() {
        mpfr_set_emin(-148);
        mpfr_set_emax(128);
    }
    ~FloatExponentRange() {
        mpfr_set_emin(emin);
        mpfr_set_emax(emax);
    }
};

}  // namespace

float ReferenceFloat(RulesFunction function, Arguments arguments, int toward) {
    const mpfr_rnd_t rounding = toward < 0 ? MPFR_RNDD : toward > 0 ? MPFR_RNDU : MPFR_RNDN;
    const FloatExponentRange range;
    Number result(24);
    int inexact = Compute(function, arguments, result.value, rounding);
    inexact = mpfr_check_range(result.value, inexact, rounding);
    mpfr_subnormalize(result.value, inexact, rounding);
    return mpfr_get_flt(result.value, rounding);
}

double RelativeError(RulesFunction function, Arguments arguments, double approx) {
    Number exact(200), error(200);
    Compute(function, arguments, exact.value, MPFR_RNDN);
    if (!mpfr_number_p(exact.value) || mpfr_zero_p(exact.value)) return 0;
    mpfr_set_d(error.value, approx, MPFR_RNDN);
    mpfr_sub(error.value, error.value, exact.value, MPFR_RNDN);
    mpfr_div(error.value, error.value, exact.value, MPFR_RNDN);
    mpfr_abs(error.value, error.value, MPFR_RNDN);
    return mpfr_get_d(error.value, MPFR_RNDN);
}
