#include "platform/bluetooth/bluez/BluezRfcommDialer.h"

#include <algorithm>
#include <cstdlib>

#include "platform/bluetooth/bluez/BluezKernelRfcommDialer.h"
#include "platform/bluetooth/bluez/BluezStandInRfcommDialer.h"

namespace platform::bluetooth {

BluezRfcommDialer::~BluezRfcommDialer() = default;

std::optional<int> BluezRfcommDialer::channelFor(const std::vector<SdpRecordInfo>& records,
                                                 const std::string& uuid) {
    for (const SdpRecordInfo& record : records) {
        const bool listed =
            std::find(record.classes.begin(), record.classes.end(), uuid) != record.classes.end();
        // RFCOMM channels are 1..30.
        if (listed && record.rfcomm && record.port >= 1 && record.port <= 30) {
            return record.port;
        }
    }
    return std::nullopt;
}

std::unique_ptr<BluezRfcommDialer> BluezRfcommDialer::create() {
    const char* standIn = std::getenv("AURALIS_BLUEZ_RFCOMM_STANDIN");
    if (standIn != nullptr && *standIn != '\0') {
        return std::make_unique<BluezStandInRfcommDialer>(standIn);
    }
    return std::make_unique<BluezKernelRfcommDialer>();
}

}  // namespace platform::bluetooth
