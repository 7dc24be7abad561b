#include "platform/bluetooth/BluetoothSystemFacts.h"

#include <cerrno>

#include "platform/bluetooth/KernelBluetooth.h"
#include "platform/bluetooth/bluez/BluezFacts.h"
#include "platform/bluetooth/bluez/BluezRfcommDialer.h"

namespace platform::bluetooth {

BluetoothSystemFacts inspectBluetoothSystem(std::chrono::milliseconds callTimeout) {
    const std::filesystem::path root = systemRoot();
    BluetoothSystemFacts facts;
    facts.kernel = readKernelFacts(root);
    facts.version = readBluezVersion(root);
    facts.bluez = inspectBluez(callTimeout);
    return facts;
}

std::optional<int> recordedRfcommChannel(uint64_t address, const std::string& uuid, int& error) {
    std::vector<SdpRecordInfo> records;
    error = BluezRfcommDialer::create()->records(address, uuid, records);
    if (error != 0) {
        return std::nullopt;
    }
    std::optional<int> channel = BluezRfcommDialer::channelFor(records, uuid);
    if (!channel) {
        error = ENOENT;
    }
    return channel;
}

}  // namespace platform::bluetooth
