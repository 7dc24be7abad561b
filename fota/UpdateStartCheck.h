#pragma once

#include <string>

// Whether a firmware update may start, from what the earbuds last reported.
namespace fota {

enum class UpdateStart {
    Ready,       // download and transfer may begin
    NotWorn,     // "VX-R175" with a bud's wearing state 0 or 4: the bud is not connected
    BatteryLow,  // a bud at kMinimumBattery percent or less
    AskResend,   // the last transfer failed: ask whether to send the kept package again
};

constexpr int kMinimumBattery = 15;

// The checks in their order: wearing ("VX-R175" only; either nibble of wearing 0 or 4), then
// the lower battery <= kMinimumBattery, then updateStatus (EnvironVar::GetUpdateFWStatus) 0.
UpdateStart checkUpdateStart(const std::string& modelCode, int batteryLeft, int batteryRight,
                             int wearing, int updateStatus);

}  // namespace fota
