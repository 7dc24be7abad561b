#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/bluetooth/Backend.h"

namespace platform::bluetooth {

// The Bluetooth of the virtual neighbourhood that auralis-sim provides: the client side of its
// socket protocol (one request per connection; RADIO, SCAN, PAIR, UNPAIR and CONNECT). A
// connection answered "OK" to CONNECT carries the device's byte stream from then on.
//
// Beyond the codes of Backend, each operation fails with ENOENT or ECONNREFUSED when no sim
// listens on the socket, ETIMEDOUT when it does not answer within the request time-out, and
// EPROTO for an answer outside the protocol; "ERR <code>" answers pass their code on.
class SimBackend final : public Backend {
public:
    static constexpr std::chrono::milliseconds kRequestTimeout{5000};

    // The socket of defaultSocketPath() unless one is given.
    explicit SimBackend(std::filesystem::path socketPath = {},
                        std::chrono::milliseconds requestTimeout = kRequestTimeout);

    // defaultSimSocketPath(): $AURALIS_SIM_SOCKET, else $XDG_RUNTIME_DIR/auralis-sim.sock, else
    // auralis-sim.sock in the temporary folder (where auralis-sim puts it too).
    static std::filesystem::path defaultSocketPath();

    const std::filesystem::path& socketPath() const { return m_socketPath; }

    std::string name() const override { return "sim"; }
    int checkRadio() override;
    ScanResult scan() override;
    int pair(uint64_t address) override;
    int unpair(uint64_t address) override;
    ConnectResult connect(uint64_t address, const std::string& serviceUuid) override;

private:
    // Sends a request answered by a single "OK" or "ERR <code>" line.
    int simpleRequest(const std::string& line);
    // "OK" → 0, "ERR <code>" → code, anything else → empty.
    static std::optional<int> parseStatus(const std::string& line);

    const std::filesystem::path m_socketPath;
    const std::chrono::milliseconds m_requestTimeout;
};

}  // namespace platform::bluetooth
