#include "fota/UpdateStartCheck.h"

#include <algorithm>

namespace fota {
namespace {

constexpr const char* kWearingModel = "VX-R175";

// 0 and 4 mean the bud is not connected.
bool budMissing(int placement) {
    return placement == 0 || placement == 4;
}

}  // namespace

UpdateStart checkUpdateStart(const std::string& modelCode, int batteryLeft, int batteryRight,
                             int wearing, int updateStatus) {
    if (modelCode == kWearingModel &&
        (budMissing((wearing >> 4) & 0x0F) || budMissing(wearing & 0x0F))) {
        return UpdateStart::NotWorn;
    }
    if (std::min(batteryLeft, batteryRight) <= kMinimumBattery) {
        return UpdateStart::BatteryLow;
    }
    if (updateStatus == 0) {
        return UpdateStart::AskResend;
    }
    return UpdateStart::Ready;
}

}  // namespace fota
