#include "ctl/StatusWords.h"

#include <array>

namespace ctl {
namespace {

constexpr int kBothConnected = 1;
constexpr int kFirstColourCode = 258;
// The colour editions by code, starting at kFirstColourCode.
constexpr std::array<const char*, 9> kColourNames = {
    "blue", "pink", "black", "white", "Norq", "red", "deep blue", "white", "Virel purple"};

std::string percent(int value) {
    return std::to_string(value) + " %";
}

}  // namespace

std::string StatusWords::placement(int value) {
    switch (value) {
        case 0:
        case 4:
            return "not connected";
        case 1:
            return "in the ear";
        case 2:
            return "out of the ear";
        case 3:
            return "in the case";
        default:
            return "placement " + std::to_string(value);
    }
}

std::string StatusWords::colour(int code) {
    const int index = code - kFirstColourCode;
    if (index >= 0 && index < static_cast<int>(kColourNames.size())) {
        return kColourNames[static_cast<std::size_t>(index)];
    }
    return "colour code " + std::to_string(code);
}

std::string StatusWords::connection() const {
    if (m_status.twsStatus == kBothConnected) {
        return "both earbuds connected";
    }
    return "only one earbud connected (TWS status " + std::to_string(m_status.twsStatus) + ")";
}

std::string StatusWords::batteries() const {
    const std::string caseLevel =
        m_secondGeneration ? "case " + percent(m_status.batteryCase) : "case: not reported";
    return "left " + percent(m_status.batteryLeft) + ", right " + percent(m_status.batteryRight) +
           ", " + caseLevel;
}

std::string StatusWords::wearing() const {
    // High four bits: the left earbud, low four bits: the right one.
    const int left = (m_status.wearingDetection >> 4) & 0x0F;
    const int right = m_status.wearingDetection & 0x0F;
    return "left: " + placement(left) + ", right: " + placement(right);
}

std::string StatusWords::colours() const {
    if (!m_secondGeneration) {
        return "not reported";
    }
    return "left " + colour(m_status.DeviceColorL) + ", right " + colour(m_status.DeviceColorR);
}

std::string StatusWords::rest() const {
    return "primary " + std::to_string(m_status.mainConnection) + ", ear type " +
           std::to_string(m_status.earType) + ", revision " +
           std::to_string(m_status.messageRevision);
}

std::string StatusWords::oneLine() const {
    return connection() + "; battery " + batteries() + "; " + wearing() + "; colours " + colours() +
           "; " + rest();
}

}  // namespace ctl
