#include "ui/SSize.h"

#include <cstdio>

std::string SSize::ToString() const {
    char text[96];
    std::snprintf(text, sizeof text, "(W,H)=(%.3f,%.3f)", width, height);
    return text;
}
