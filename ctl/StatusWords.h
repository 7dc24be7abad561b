#pragma once

#include <string>

#include "link/DeviceStatus.h"

namespace ctl {

// A status report told in words for people: which earbuds are connected, the batteries, where
// each earbud is and its colour. Values the words do not cover keep their number, so nothing
// the earbuds said is lost. A first-generation pair reports neither a case level nor colours;
// those are "not reported" rather than a misleading 0.
class StatusWords {
public:
    StatusWords(const DeviceStatus& status, bool secondGeneration)
        : m_status(status), m_secondGeneration(secondGeneration) {}

    // "both earbuds connected", or "only one earbud connected (TWS status N)".
    std::string connection() const;
    // "left 85 %, right 80 %, case 60 %" (or "case: not reported").
    std::string batteries() const;
    // "left: in the ear, right: in the case".
    std::string wearing() const;
    // "left black, right black" (or "not reported").
    std::string colours() const;
    // The values without words of their own: "primary 0, ear type 0, revision 1".
    std::string rest() const;
    // All of the above on one line.
    std::string oneLine() const;

    // "in the ear" for placement 1, and so on; "placement N" for a value without a meaning.
    static std::string placement(int value);
    // "black" for colour code 260, and so on; "colour code N" for a code without a name.
    static std::string colour(int code);

private:
    DeviceStatus m_status;
    bool m_secondGeneration;
};

}  // namespace ctl
