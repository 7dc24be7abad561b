#include "ctl/DoctorCheck.h"

namespace ctl {

const char* DoctorCheck::statusName(Status status) {
    switch (status) {
        case Status::Ok:
            return "ok";
        case Status::Warning:
            return "warning";
        case Status::Failure:
            return "failure";
    }
    return "failure";
}

Json DoctorCheck::toJson() const {
    Json object = {{"check", check}};
    if (!address.empty()) {
        object["address"] = address;
    }
    object["status"] = statusName(status);
    object["seen"] = seen;
    object["fix"] = fix;
    return object;
}

std::string DoctorCheck::toText() const {
    std::string label = std::string("[") + statusName(status) + "]";
    label.resize(10, ' ');
    std::string text = label + check + (address.empty() ? "" : " " + address) + ": " + seen;
    if (!fix.empty()) {
        text += "\n          fix: " + fix;
    }
    return text;
}

DoctorCheck::Status worse(DoctorCheck::Status a, DoctorCheck::Status b) {
    return static_cast<int>(a) > static_cast<int>(b) ? a : b;
}

}  // namespace ctl
