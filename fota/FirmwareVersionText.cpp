#include "fota/FirmwareVersionText.h"

namespace fota {
namespace {

constexpr const char* kBlanks = " \t\r\n\v\f";

}  // namespace

std::string normalisedVersion(const std::string& version) {
    const std::size_t first = version.find_first_not_of(kBlanks);
    if (first == std::string::npos) {
        return {};
    }
    const std::size_t last = version.find_last_not_of(kBlanks);
    return version.substr(first, last - first + 1);
}

bool isNewerVersion(const std::string& latest, const std::string& current) {
    // std::string compares its characters as unsigned bytes, which orders UTF-8 texts by code
    // point.
    return normalisedVersion(latest).compare(normalisedVersion(current)) > 0;
}

std::string currentVersionOf(const std::string& left, const std::string& right) {
    if (right.empty()) {
        return left;
    }
    if (!left.empty() && isNewerVersion(right, left)) {
        return left;
    }
    return right;
}

}  // namespace fota
