#include "platform/bluetooth/UnavailableBackend.h"

#include <cerrno>

#include "base/Log.h"

namespace platform::bluetooth {

UnavailableBackend::UnavailableBackend(std::string name, std::string reason)
    : m_name(std::move(name)), m_reason(std::move(reason)) {}

int UnavailableBackend::fail() {
    if (!m_logged.exchange(true)) {
        _Log(LOG_WARNING, "UnavailableBackend::fail", __LINE__,
             "Bluetooth is not available (backend %s): %s", m_name.c_str(), m_reason.c_str());
    }
    return ENOSYS;
}

int UnavailableBackend::checkRadio() {
    return fail();
}

ScanResult UnavailableBackend::scan() {
    return {.code = fail(), .devices = {}};
}

int UnavailableBackend::pair(uint64_t /*address*/) {
    return fail();
}

int UnavailableBackend::unpair(uint64_t /*address*/) {
    return fail();
}

ConnectResult UnavailableBackend::connect(uint64_t /*address*/,
                                          const std::string& /*serviceUuid*/) {
    return {.code = fail(), .connection = nullptr};
}

}  // namespace platform::bluetooth
