#pragma once

#include <string>

// A width and a height in logical units.
class SSize {
public:
    SSize() = default;
    SSize(double w, double h) : width(w), height(h) {}
    SSize(const SSize&) = default;
    SSize& operator=(const SSize&) = default;
    virtual ~SSize() = default;

    bool operator==(const SSize& other) const {
        return width == other.width && height == other.height;
    }
    // The inspector's text form: "(W,H)=(%.3f,%.3f)".
    std::string ToString() const;

    double width = 0;
    double height = 0;
};
