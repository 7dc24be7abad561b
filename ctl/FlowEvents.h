#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

#include "flow/IFirmwareUpdateFlowDelegate.h"

namespace ctl {

// One event of the firmware update flow, as a command sees it.
struct FlowEvent {
    enum class Kind {
        Offer,                 // offer
        CheckFailed,           // number = error code, text = its cause
        Phase,                 // number = phase
        DownloadProgress,      // number = percent, bytes
        TransferProgress,      // number = percent, bytes
        InternetUnavailable,   // number = error code, text = its cause
        BluetoothUnavailable,  // number = FlowLinkLoss
        DeviceLost,            //
        PairLost,              //
        PackageRefused,        // text = why
        Finish,                // flag = success, number = reason
    };
    Kind kind = Kind::Offer;
    FirmwareOffer offer;
    bool flag = false;
    int number = 0;
    uint64_t bytes = 0;
    std::string text;

    // number and text as an error (CheckFailed, InternetUnavailable).
    base::Error error() const { return base::Error(text, number); }
};

// The delegate of a command's update flow: queues every event (they arrive on worker threads)
// for the command's thread, which takes them in order.
class FlowEvents final : public IFirmwareUpdateFlowDelegate {
public:
    using Clock = std::chrono::steady_clock;

    // The next event, or nothing once the deadline has passed.
    std::optional<FlowEvent> next(Clock::time_point deadline);

    void OnFlowOffer(const FirmwareOffer& offer) override;
    void OnFlowCheckFailed(const base::Error& error) override;
    void OnFlowPhaseChange(int phase) override;
    void OnFlowDownloadProgress(int percent, uint64_t bytes) override;
    void OnFlowTransferProgress(int percent, uint64_t bytes) override;
    void OnFlowInternetUnavailable(const base::Error& error) override;
    void OnFlowBluetoothUnavailable(FlowLinkLoss cause) override;
    void OnFlowDeviceLost() override;
    void OnFlowPairLost() override;
    void OnFlowPackageRefused(const base::Error& why) override;
    void OnFlowFinish(bool success, int reason) override;

private:
    void push(FlowEvent event);

    std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::deque<FlowEvent> m_events;
};

}  // namespace ctl
