#pragma once

#include <string>

#include "ui/SPoint.h"
#include "ui/SSize.h"

// A rectangle given by its four edges (left, top, right, bottom).
class SRect {
public:
    SRect() = default;
    SRect(double l, double t, double r, double b) : left(l), top(t), right(r), bottom(b) {}
    SRect(const SRect&) = default;
    SRect& operator=(const SRect&) = default;
    virtual ~SRect() = default;

    static SRect FromSize(double x, double y, double width, double height) {
        return SRect(x, y, x + width, y + height);
    }

    bool operator==(const SRect& other) const {
        return left == other.left && top == other.top && right == other.right &&
               bottom == other.bottom;
    }

    double Width() const { return right - left; }
    double Height() const { return bottom - top; }
    SSize Size() const { return SSize(Width(), Height()); }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    // Edges count as inside on all four sides.
    bool Contains(const SPoint& p) const {
        return p.x >= left && p.x <= right && p.y >= top && p.y <= bottom;
    }
    SRect Intersect(const SRect& other) const;
    SRect Offset(double dx, double dy) const {
        return SRect(left + dx, top + dy, right + dx, bottom + dy);
    }
    SRect Scaled(double factor) const {
        return SRect(left * factor, top * factor, right * factor, bottom * factor);
    }

    // The inspector's text forms: "(L,T,R,B)=(%.3f,%.3f,%.3f,%.3f)" and
    // "(L,T,W,H)=(%.3f,%.3f,%.3f,%.3f)".
    std::string ToString() const;
    std::string ToStringLTWH() const;

    double left = 0;
    double top = 0;
    double right = 0;
    double bottom = 0;
};
