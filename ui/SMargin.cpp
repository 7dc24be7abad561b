#include "ui/SMargin.h"

#include <cstdio>

std::string SMargin::ToString() const {
    char text[160];
    std::snprintf(text, sizeof text, "(L,T,R,B)=(%.3f,%.3f,%.3f,%.3f)", left, top, right, bottom);
    return text;
}
