#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform::bluetooth {

// One SDP record of a remote device, as far as a serial connection cares.
struct SdpRecordInfo {
    // The service-class id list, in the record's order, as lower-case 128-bit UUID texts.
    std::vector<std::string> classes;
    bool rfcomm = false;  // reached over RFCOMM (else over L2CAP alone)
    int port = 0;         // the RFCOMM channel, or the L2CAP PSM

    bool operator==(const SdpRecordInfo&) const = default;
};

// Finds a service in a device's SDP records and connects an RFCOMM socket to its channel,
// without BlueZ's profile machinery.
//
// BlueZ makes a connectable profile only of the first service class of each SDP record
// (Device1.UUIDs), so earbuds whose serial record lists our service id after another id cannot
// be connected through Device1.ConnectProfile. This is the way around it: the Bluetooth
// kernel sockets and BlueZ's SDP library. Both calls block for up to the radio's page time-out.
class BluezRfcommDialer {
public:
    virtual ~BluezRfcommDialer();

    // The device's SDP records that mention uuid (lower-case text). kOk, or an errno value:
    // EHOSTDOWN (no answer), EAFNOSUPPORT (no Bluetooth in this kernel), EIO, ...
    virtual int records(uint64_t address, const std::string& uuid,
                        std::vector<SdpRecordInfo>& found) = 0;

    // A connected RFCOMM stream socket (close-on-exec, owned by the caller), or -errno.
    virtual int open(uint64_t address, int channel) = 0;

    // The RFCOMM channel of the first record that lists uuid anywhere in its service classes.
    static std::optional<int> channelFor(const std::vector<SdpRecordInfo>& records,
                                         const std::string& uuid);

    // The kernel's sockets and BlueZ's SDP library; or, when $AURALIS_BLUEZ_RFCOMM_STANDIN names
    // a Unix socket, the stand-in that the tests' mock BlueZ serves there (machines without a
    // radio or Bluetooth in the kernel).
    static std::unique_ptr<BluezRfcommDialer> create();
};

}  // namespace platform::bluetooth
