#include "tests/flow/FlowRecorder.h"

namespace fota_test {

void FlowRecorder::add(std::string text) {
    std::lock_guard lock(m_mutex);
    m_events.push_back(std::move(text));
    m_added.notify_all();
}

void FlowRecorder::OnFlowOffer(const FirmwareOffer& offer) {
    {
        std::lock_guard lock(m_mutex);
        m_offer = offer;
    }
    add("Offer(" + offer.newVersion + ")");
}

void FlowRecorder::keepCause(const base::Error& error) {
    std::lock_guard lock(m_mutex);
    m_lastCause = error.message();
}

std::string FlowRecorder::lastCause() const {
    std::lock_guard lock(m_mutex);
    return m_lastCause;
}

void FlowRecorder::OnFlowCheckFailed(const base::Error& error) {
    keepCause(error);
    add("CheckFailed(" + std::to_string(error.code()) + ")");
}

void FlowRecorder::OnFlowCurrentVersion(const std::string& current) {
    add("Current(" + current + ")");
}

void FlowRecorder::OnFlowPhaseChange(int phase) {
    add("Phase(" + std::to_string(phase) + ")");
}

void FlowRecorder::OnFlowDownloadProgress(int /*percent*/, uint64_t /*bytes*/) {
    std::lock_guard lock(m_mutex);
    ++m_downloadReports;
}

void FlowRecorder::OnFlowTransferProgress(int /*percent*/, uint64_t bytes) {
    std::lock_guard lock(m_mutex);
    m_transferBytes = bytes;
}

void FlowRecorder::OnFlowInternetUnavailable(const base::Error& error) {
    keepCause(error);
    add("Internet(" + std::to_string(error.code()) + ")");
}

void FlowRecorder::OnFlowBluetoothUnavailable(FlowLinkLoss cause) {
    add("Bluetooth(" + std::to_string(static_cast<int>(cause)) + ")");
}

void FlowRecorder::OnFlowPairLost() {
    add("PairLost()");
}

void FlowRecorder::OnFlowDeviceLost() {
    add("DeviceLost()");
}

void FlowRecorder::OnFlowPackageRefused(const base::Error& why) {
    keepCause(why);
    add("Refused(" + why.message() + ")");
}

void FlowRecorder::OnFlowFinish(bool success, int reason) {
    add("Finish(" + std::to_string(success ? 1 : 0) + "," + std::to_string(reason) + ")");
}

std::vector<std::string> FlowRecorder::events() const {
    std::lock_guard lock(m_mutex);
    return m_events;
}

int FlowRecorder::count(const std::string& prefix) const {
    int n = 0;
    for (const std::string& event : events()) {
        n += event.rfind(prefix, 0) == 0 ? 1 : 0;
    }
    return n;
}

bool FlowRecorder::waitFor(const std::string& prefix, int n,
                           std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_added.wait_for(lock, timeout, [&] {
        int found = 0;
        for (const std::string& event : m_events) {
            found += event.rfind(prefix, 0) == 0 ? 1 : 0;
        }
        return found >= n;
    });
}

FirmwareOffer FlowRecorder::lastOffer() const {
    std::lock_guard lock(m_mutex);
    return m_offer;
}

uint64_t FlowRecorder::lastTransferBytes() const {
    std::lock_guard lock(m_mutex);
    return m_transferBytes;
}

int FlowRecorder::downloadReports() const {
    std::lock_guard lock(m_mutex);
    return m_downloadReports;
}

}  // namespace fota_test
