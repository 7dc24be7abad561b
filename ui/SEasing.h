#pragma once

// The easing curves of animations, numbered 1 to 20 as callers pass them. Any other number
// means linear progress.
class SEasing {
public:
    // The angle factor of the sine curves. It is deliberately this value and not the exact
    // pi/2: the curves have always been computed with it.
    static constexpr double kHalfPi = 1.570796325;
    static constexpr int kFirstCurve = 1;
    static constexpr int kLastCurve = 20;

    // Curve `curve` at progress t (0..1).
    static double Apply(int curve, double t);
};
