#pragma once

// A start and an end value (tables use it for their visible row range).
class SRange {
public:
    SRange() = default;
    SRange(double s, double e) : start(s), end(e) {}
    SRange(const SRange&) = default;
    SRange& operator=(const SRange&) = default;
    virtual ~SRange() = default;

    bool operator==(const SRange& other) const { return start == other.start && end == other.end; }

    double start = 0;
    double end = 0;
};
