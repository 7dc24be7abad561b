#include "ui/SEasing.h"

#include <cmath>

namespace {

double Power(double value, int exponent) {
    double result = 1;
    for (int i = 0; i < exponent; ++i) {
        result *= value;
    }
    return result;
}

// The in-out curves run the "in" half on f = 2t below 1 and the "out" half above.
double InOut(int exponent, double t) {
    const double f = 2 * t;
    if (f < 1) {
        return Power(f, exponent) / 2;
    }
    if (exponent % 2 == 0) {
        return -(Power(f - 2, exponent) - 2) / 2;
    }
    return (Power(f - 2, exponent) + 2) / 2;
}

}  // namespace

double SEasing::Apply(int curve, double t) {
    switch (curve) {
        case 1:
            return t * t;
        case 2:
            return -(t - 2) * t;
        case 3: {
            const double f = 2 * t;
            return f < 1 ? f * f / 2 : -((f - 1) * (f - 3) - 1) / 2;
        }
        case 4:
            return Power(t, 3);
        case 5:
            return Power(t - 1, 3) + 1;
        case 6:
        case 18:  // the same curve under a second number
            return InOut(3, t);
        case 7:
            return Power(t, 4);
        case 8:
            return -(Power(t - 1, 4) - 1);
        case 9:
            return InOut(4, t);
        case 10:
            return Power(t, 5);
        case 11:
            return Power(t - 1, 5) + 1;
        case 12:
            return InOut(5, t);
        case 13:
            return 1 - std::cos(t * kHalfPi);
        case 14:
            return std::sin(t * kHalfPi);
        case 15:
            return std::pow(2.0, 10 * (t - 1));
        case 16:
            return 1 - std::pow(2.0, -10 * t);
        case 17: {
            const double f = 2 * t;
            return f < 1 ? std::pow(2.0, 10 * (f - 1)) / 2 : (2 - std::pow(2.0, -10 * (f - 1))) / 2;
        }
        case 19:
            return -(std::sqrt(1 - t * t) - 1);
        case 20:
            return std::sqrt(1 - (t - 1) * (t - 1));
        default:
            return t;
    }
}
