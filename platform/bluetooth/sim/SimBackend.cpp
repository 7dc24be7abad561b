#include "platform/bluetooth/sim/SimBackend.h"

#include <cerrno>
#include <charconv>

#include "base/Log.h"
#include "platform/bluetooth/BluetoothAddress.h"
#include "platform/bluetooth/FdConnection.h"
#include "platform/bluetooth/SimSocketPath.h"
#include "platform/bluetooth/sim/SimRequest.h"

namespace platform::bluetooth {
namespace {

// A SCAN answer never lists more devices than this; more means the answer makes no sense.
constexpr std::size_t kMaxScanDevices = 1024;

}  // namespace

SimBackend::SimBackend(std::filesystem::path socketPath, std::chrono::milliseconds requestTimeout)
    : m_socketPath(socketPath.empty() ? defaultSocketPath() : std::move(socketPath)),
      m_requestTimeout(requestTimeout) {}

std::filesystem::path SimBackend::defaultSocketPath() {
    return defaultSimSocketPath();
}

std::optional<int> SimBackend::parseStatus(const std::string& line) {
    if (line == "OK") {
        return kOk;
    }
    if (line.rfind("ERR ", 0) != 0) {
        return std::nullopt;
    }
    int code = 0;
    const char* first = line.data() + 4;
    const char* last = line.data() + line.size();
    const auto [end, problem] = std::from_chars(first, last, code);
    if (problem != std::errc() || end != last || code <= 0) {
        return std::nullopt;
    }
    return code;
}

int SimBackend::simpleRequest(const std::string& line) {
    SimRequest request(m_socketPath, m_requestTimeout);
    std::string answer;
    if (!request.send(line) || !request.readLine(answer)) {
        _Log(LOG_WARNING, "SimBackend::simpleRequest", __LINE__, "%s: no answer from %s: %s",
             line.c_str(), m_socketPath.c_str(), errorText(request.error()).c_str());
        return request.error();
    }
    const std::optional<int> status = parseStatus(answer);
    if (!status) {
        _Log(LOG_WARNING, "SimBackend::simpleRequest", __LINE__, "%s: unexpected answer '%s'",
             line.c_str(), answer.c_str());
        return EPROTO;
    }
    return *status;
}

int SimBackend::checkRadio() {
    return simpleRequest("RADIO");
}

ScanResult SimBackend::scan() {
    SimRequest request(m_socketPath, m_requestTimeout);
    ScanResult result;
    if (!request.send("SCAN")) {
        result.code = request.error();
        return result;
    }
    std::string line;
    while (request.readLine(line)) {
        if (line == "END") {
            return result;
        }
        if (line.rfind("DEVICE ", 0) == 0 && line.size() > 7 + 17 + 1 && line[7 + 17] == ' ') {
            const std::optional<uint64_t> address = parseAddress(line.substr(7, 17));
            if (address && result.devices.size() < kMaxScanDevices) {
                result.devices.push_back({.name = line.substr(7 + 17 + 1), .address = *address});
                continue;
            }
        }
        const std::optional<int> status = parseStatus(line);
        result.devices.clear();
        result.code = status && *status != kOk ? *status : EPROTO;
        if (result.code == EPROTO) {
            _Log(LOG_WARNING, "SimBackend::scan", __LINE__, "unexpected answer '%s'", line.c_str());
        }
        return result;
    }
    result.devices.clear();
    result.code = request.error();
    return result;
}

int SimBackend::pair(uint64_t address) {
    return simpleRequest("PAIR " + formatAddress(address));
}

int SimBackend::unpair(uint64_t address) {
    return simpleRequest("UNPAIR " + formatAddress(address));
}

ConnectResult SimBackend::connect(uint64_t address, const std::string& serviceUuid) {
    SimRequest request(m_socketPath, m_requestTimeout);
    std::string answer;
    if (!request.send("CONNECT " + formatAddress(address) + " " + serviceUuid) ||
        !request.readLine(answer)) {
        return {.code = request.error(), .connection = nullptr};
    }
    const std::optional<int> status = parseStatus(answer);
    if (!status) {
        _Log(LOG_WARNING, "SimBackend::connect", __LINE__, "unexpected answer '%s'",
             answer.c_str());
        return {.code = EPROTO, .connection = nullptr};
    }
    if (*status != kOk) {
        return {.code = *status, .connection = nullptr};
    }
    return {.code = kOk, .connection = std::make_shared<FdConnection>(request.release())};
}

}  // namespace platform::bluetooth
