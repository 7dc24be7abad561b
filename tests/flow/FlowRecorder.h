#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "flow/IFirmwareUpdateFlowDelegate.h"

namespace fota_test {

// Records every event of an update flow as text ("Phase(3)", "Finish(0,5)", "Refused(why)"),
// with the offers and the last progress of each stage.
class FlowRecorder : public IFirmwareUpdateFlowDelegate {
public:
    void OnFlowOffer(const FirmwareOffer& offer) override;
    void OnFlowCheckFailed(const base::Error& error) override;
    void OnFlowCurrentVersion(const std::string& current) override;
    void OnFlowPhaseChange(int phase) override;
    void OnFlowDownloadProgress(int percent, uint64_t bytes) override;
    void OnFlowTransferProgress(int percent, uint64_t bytes) override;
    void OnFlowInternetUnavailable(const base::Error& error) override;
    void OnFlowBluetoothUnavailable(FlowLinkLoss cause) override;
    void OnFlowDeviceLost() override;
    void OnFlowPairLost() override;
    void OnFlowPackageRefused(const base::Error& why) override;
    void OnFlowFinish(bool success, int reason) override;

    std::vector<std::string> events() const;
    // Events whose text starts with prefix.
    int count(const std::string& prefix) const;
    // Waits until at least n events start with prefix. False on time-out.
    bool waitFor(const std::string& prefix, int n = 1,
                 std::chrono::milliseconds timeout = std::chrono::seconds(20)) const;
    FirmwareOffer lastOffer() const;
    uint64_t lastTransferBytes() const;
    int downloadReports() const;
    // The words of the last error event (CheckFailed, Internet, Refused).
    std::string lastCause() const;

private:
    void add(std::string text);
    void keepCause(const base::Error& error);

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_added;
    std::vector<std::string> m_events;
    FirmwareOffer m_offer;
    uint64_t m_transferBytes = 0;
    int m_downloadReports = 0;
    std::string m_lastCause;
};

}  // namespace fota_test
