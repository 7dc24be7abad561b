#pragma once

#include <string>

// Anchoring distances to the four edges of a parent. A component below zero leaves that side
// unanchored; -1 is the usual "unset".
class SMargin {
public:
    SMargin() = default;
    SMargin(double l, double t, double r, double b) : left(l), top(t), right(r), bottom(b) {}
    SMargin(const SMargin&) = default;
    SMargin& operator=(const SMargin&) = default;
    virtual ~SMargin() = default;

    bool operator==(const SMargin& other) const {
        return left == other.left && top == other.top && right == other.right &&
               bottom == other.bottom;
    }

    // The inspector's text form: "(L,T,R,B)=(%.3f,%.3f,%.3f,%.3f)".
    std::string ToString() const;

    double left = 0;
    double top = 0;
    double right = 0;
    double bottom = 0;
};
