#include "platform/bluetooth/bluez/BluezKernelRfcommDialer.h"

#include <bluetooth/bluetooth.h>
#include <bluetooth/rfcomm.h>
#include <bluetooth/sdp.h>
#include <bluetooth/sdp_lib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "base/Log.h"

namespace platform::bluetooth {
namespace {

// "AA:BB:CC:DD:EE:FF" is the 64-bit value 0xAABBCCDDEEFF; bdaddr_t keeps it least significant
// byte first.
bdaddr_t toBdaddr(uint64_t address) {
    bdaddr_t result{};
    for (std::size_t i = 0; i < sizeof(result.b); ++i) {
        result.b[i] = static_cast<uint8_t>(address >> (8 * i));
    }
    return result;
}

std::optional<std::array<uint8_t, 16>> uuidBytes(const std::string& text) {
    std::array<uint8_t, 16> bytes{};
    std::size_t filled = 0;
    for (std::size_t i = 0; i < text.size() && filled < bytes.size(); ++i) {
        if (text[i] == '-') {
            continue;
        }
        if (i + 1 >= text.size()) {
            return std::nullopt;
        }
        const std::string pair = text.substr(i, 2);
        char* end = nullptr;
        const unsigned long value = std::strtoul(pair.c_str(), &end, 16);
        if (end != pair.c_str() + 2) {
            return std::nullopt;
        }
        bytes[filled++] = static_cast<uint8_t>(value);
        ++i;
    }
    return filled == bytes.size() ? std::optional(bytes) : std::nullopt;
}

// Any SDP UUID as the lower-case 128-bit text (16- and 32-bit ones on the Bluetooth base).
std::string uuidText(const uuid_t& uuid) {
    char text[40];
    if (uuid.type == SDP_UUID16 || uuid.type == SDP_UUID32) {
        const unsigned value = uuid.type == SDP_UUID16 ? uuid.value.uuid16 : uuid.value.uuid32;
        std::snprintf(text, sizeof(text), "%08x-0000-1000-8000-00805f9b34fb", value);
        return text;
    }
    const uint8_t* b = uuid.value.uuid128.data;
    std::snprintf(text, sizeof(text),
                  "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", b[0],
                  b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13],
                  b[14], b[15]);
    return text;
}

void freeProtocolList(void* list) {
    sdp_list_free(static_cast<sdp_list_t*>(list), nullptr);
}

SdpRecordInfo readRecord(const sdp_record_t* record) {
    SdpRecordInfo info;
    sdp_list_t* classes = nullptr;
    if (sdp_get_service_classes(record, &classes) == 0) {
        for (sdp_list_t* entry = classes; entry != nullptr; entry = entry->next) {
            info.classes.push_back(uuidText(*static_cast<const uuid_t*>(entry->data)));
        }
        sdp_list_free(classes, free);
    }
    sdp_list_t* protocols = nullptr;
    if (sdp_get_access_protos(record, &protocols) == 0) {
        const int channel = sdp_get_proto_port(protocols, RFCOMM_UUID);
        info.rfcomm = channel > 0;
        info.port = info.rfcomm ? channel : sdp_get_proto_port(protocols, L2CAP_UUID);
        sdp_list_free(protocols, freeProtocolList);
    }
    return info;
}

}  // namespace

int BluezKernelRfcommDialer::records(uint64_t address, const std::string& uuid,
                                     std::vector<SdpRecordInfo>& found) {
    const std::optional<std::array<uint8_t, 16>> bytes = uuidBytes(uuid);
    if (!bytes) {
        return EINVAL;
    }
    bdaddr_t any{};
    const bdaddr_t target = toBdaddr(address);
    sdp_session_t* session = sdp_connect(&any, &target, SDP_RETRY_IF_BUSY);
    if (session == nullptr) {
        return errno != 0 ? errno : EHOSTDOWN;
    }
    uuid_t service{};
    sdp_uuid128_create(&service, bytes->data());
    sdp_list_t* search = sdp_list_append(nullptr, &service);
    uint32_t range = 0x0000ffff;
    sdp_list_t* attributes = sdp_list_append(nullptr, &range);
    sdp_list_t* answer = nullptr;
    const int result =
        sdp_service_search_attr_req(session, search, SDP_ATTR_REQ_RANGE, attributes, &answer);
    const int searchError = errno;
    for (sdp_list_t* entry = answer; entry != nullptr; entry = entry->next) {
        auto* record = static_cast<sdp_record_t*>(entry->data);
        found.push_back(readRecord(record));
        sdp_record_free(record);
    }
    sdp_list_free(answer, nullptr);
    sdp_list_free(search, nullptr);
    sdp_list_free(attributes, nullptr);
    sdp_close(session);
    if (result < 0) {
        return searchError != 0 ? searchError : EIO;
    }
    return 0;
}

int BluezKernelRfcommDialer::open(uint64_t address, int channel) {
    const int fd = ::socket(AF_BLUETOOTH, SOCK_STREAM | SOCK_CLOEXEC, BTPROTO_RFCOMM);
    if (fd < 0) {
        return -errno;
    }
    // The earbuds are paired: ask for an authenticated, encrypted link as BlueZ's profiles do.
    bt_security security{};
    security.level = BT_SECURITY_MEDIUM;
    if (::setsockopt(fd, SOL_BLUETOOTH, BT_SECURITY, &security, sizeof(security)) != 0) {
        _Log(LOG_INFO, "BluezKernelRfcommDialer::open", __LINE__,
             "cannot ask for link security (errno %d); connecting anyway", errno);
    }
    sockaddr_rc remote{};
    remote.rc_family = AF_BLUETOOTH;
    remote.rc_bdaddr = toBdaddr(address);
    remote.rc_channel = static_cast<uint8_t>(channel);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&remote), sizeof(remote)) != 0) {
        const int error = errno;
        ::close(fd);
        return -error;
    }
    return fd;
}

}  // namespace platform::bluetooth
