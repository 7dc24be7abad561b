#include "ui/SRect.h"

#include <algorithm>
#include <cstdio>

SRect SRect::Intersect(const SRect& other) const {
    SRect result(std::max(left, other.left), std::max(top, other.top), std::min(right, other.right),
                 std::min(bottom, other.bottom));
    if (result.right < result.left) {
        result.right = result.left;
    }
    if (result.bottom < result.top) {
        result.bottom = result.top;
    }
    return result;
}

std::string SRect::ToString() const {
    char text[160];
    std::snprintf(text, sizeof text, "(L,T,R,B)=(%.3f,%.3f,%.3f,%.3f)", left, top, right, bottom);
    return text;
}

std::string SRect::ToStringLTWH() const {
    char text[160];
    std::snprintf(text, sizeof text, "(L,T,W,H)=(%.3f,%.3f,%.3f,%.3f)", left, top, Width(),
                  Height());
    return text;
}
