#pragma once

// A point in logical units (or in pixels where a caller says so).
class SPoint {
public:
    SPoint() = default;
    SPoint(double px, double py) : x(px), y(py) {}
    SPoint(const SPoint&) = default;
    SPoint& operator=(const SPoint&) = default;
    virtual ~SPoint() = default;

    bool operator==(const SPoint& other) const { return x == other.x && y == other.y; }

    double x = 0;
    double y = 0;
};
