#include "tests/link/FakeBackend.h"

namespace link_test {

using platform::bluetooth::ConnectResult;
using platform::bluetooth::ScanResult;

int FakeBackend::checkRadio() {
    std::lock_guard lock(m_mutex);
    ++m_radioChecks;
    const int code = m_radio.front();
    if (m_radio.size() > 1) {
        m_radio.pop_front();
    }
    return code;
}

ScanResult FakeBackend::scan() {
    std::lock_guard lock(m_mutex);
    ++m_scanCount;
    if (m_scans.empty()) {
        return {};
    }
    ScanResult result = m_scans.front();
    m_scans.pop_front();
    return result;
}

int FakeBackend::pair(uint64_t address) {
    std::lock_guard lock(m_mutex);
    m_pairs.push_back(address);
    return m_pairCode;
}

int FakeBackend::unpair(uint64_t address) {
    std::lock_guard lock(m_mutex);
    m_unpairs.push_back(address);
    return platform::bluetooth::kOk;
}

ConnectResult FakeBackend::connect(uint64_t /*address*/, const std::string& serviceUuid) {
    std::lock_guard lock(m_mutex);
    m_services.push_back(serviceUuid);
    if (m_connectCode != platform::bluetooth::kOk) {
        return {.code = m_connectCode, .connection = nullptr};
    }
    auto [ours, theirs] = platform::bluetooth::FdConnection::createPair();
    m_peers.push_back(theirs);
    return {.code = platform::bluetooth::kOk, .connection = ours};
}

void FakeBackend::queueRadio(std::vector<int> codes) {
    std::lock_guard lock(m_mutex);
    m_radio.assign(codes.begin(), codes.end());
}

void FakeBackend::queueScans(std::vector<ScanResult> scans) {
    std::lock_guard lock(m_mutex);
    m_scans.assign(scans.begin(), scans.end());
}

void FakeBackend::setPairCode(int code) {
    std::lock_guard lock(m_mutex);
    m_pairCode = code;
}

void FakeBackend::setConnectCode(int code) {
    std::lock_guard lock(m_mutex);
    m_connectCode = code;
}

int FakeBackend::radioChecks() const {
    std::lock_guard lock(m_mutex);
    return m_radioChecks;
}

int FakeBackend::scans() const {
    std::lock_guard lock(m_mutex);
    return m_scanCount;
}

std::vector<uint64_t> FakeBackend::pairs() const {
    std::lock_guard lock(m_mutex);
    return m_pairs;
}

std::vector<uint64_t> FakeBackend::unpairs() const {
    std::lock_guard lock(m_mutex);
    return m_unpairs;
}

std::vector<std::string> FakeBackend::connectedServices() const {
    std::lock_guard lock(m_mutex);
    return m_services;
}

std::shared_ptr<platform::bluetooth::FdConnection> FakeBackend::lastPeer() const {
    std::lock_guard lock(m_mutex);
    return m_peers.empty() ? nullptr : m_peers.back();
}

}  // namespace link_test
