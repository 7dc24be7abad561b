#pragma once

#include <string>
#include <vector>

#include "ctl/Output.h"

namespace ctl {

// One line of the doctor's findings: what was looked at, how it stands, what was seen and the
// fix in one sentence (empty when nothing needs fixing).
struct DoctorCheck {
    enum class Status { Ok, Warning, Failure };

    std::string check;  // "bluez", "adapter", ...
    Status status = Status::Ok;
    std::string seen;
    std::string fix;
    std::string address;  // "earbuds" only: the pair it is about

    static const char* statusName(Status status);
    Json toJson() const;
    // "[ok]      bluez: ..." with the fix on a second, indented line.
    std::string toText() const;
};

// The worse of two states.
DoctorCheck::Status worse(DoctorCheck::Status a, DoctorCheck::Status b);

using DoctorChecks = std::vector<DoctorCheck>;

}  // namespace ctl
