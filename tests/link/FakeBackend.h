#pragma once

#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/bluetooth/Backend.h"
#include "platform/bluetooth/FdConnection.h"

namespace link_test {

// A Bluetooth backend scripted by the test: answers come from queues (the last answer repeats
// once a queue is empty), every call is recorded, and each successful connect hands the link one
// end of a fresh socket pair while the test keeps the other as the earbuds.
class FakeBackend final : public platform::bluetooth::Backend {
public:
    std::string name() const override { return "fake"; }
    int checkRadio() override;
    platform::bluetooth::ScanResult scan() override;
    int pair(uint64_t address) override;
    int unpair(uint64_t address) override;
    platform::bluetooth::ConnectResult connect(uint64_t address,
                                               const std::string& serviceUuid) override;

    // Scripting.
    void queueRadio(std::vector<int> codes);
    // Scans answered in order; once they are used up every scan finds nothing.
    void queueScans(std::vector<platform::bluetooth::ScanResult> scans);
    void setPairCode(int code);
    void setConnectCode(int code);

    // What happened.
    int radioChecks() const;
    int scans() const;
    std::vector<uint64_t> pairs() const;
    std::vector<uint64_t> unpairs() const;
    std::vector<std::string> connectedServices() const;
    // The earbuds' end of the last successful connect; null before one.
    std::shared_ptr<platform::bluetooth::FdConnection> lastPeer() const;

private:
    mutable std::mutex m_mutex;
    std::deque<int> m_radio{platform::bluetooth::kOk};
    std::deque<platform::bluetooth::ScanResult> m_scans;
    int m_pairCode = platform::bluetooth::kOk;
    int m_connectCode = platform::bluetooth::kOk;
    int m_radioChecks = 0;
    int m_scanCount = 0;
    std::vector<uint64_t> m_pairs;
    std::vector<uint64_t> m_unpairs;
    std::vector<std::string> m_services;
    std::vector<std::shared_ptr<platform::bluetooth::FdConnection>> m_peers;
};

}  // namespace link_test
