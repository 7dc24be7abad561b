#include "ctl/FlowEvents.h"

namespace ctl {

using Kind = FlowEvent::Kind;

std::optional<FlowEvent> FlowEvents::next(Clock::time_point deadline) {
    std::unique_lock lock(m_mutex);
    if (!m_arrived.wait_until(lock, deadline, [this] { return !m_events.empty(); })) {
        return std::nullopt;
    }
    FlowEvent event = std::move(m_events.front());
    m_events.pop_front();
    return event;
}

void FlowEvents::push(FlowEvent event) {
    std::lock_guard lock(m_mutex);
    m_events.push_back(std::move(event));
    m_arrived.notify_all();
}

void FlowEvents::OnFlowOffer(const FirmwareOffer& offer) {
    push({.kind = Kind::Offer, .offer = offer});
}

void FlowEvents::OnFlowCheckFailed(const base::Error& error) {
    push({.kind = Kind::CheckFailed, .number = error.code(), .text = error.message()});
}

void FlowEvents::OnFlowPhaseChange(int phase) {
    push({.kind = Kind::Phase, .number = phase});
}

void FlowEvents::OnFlowDownloadProgress(int percent, uint64_t bytes) {
    push({.kind = Kind::DownloadProgress, .number = percent, .bytes = bytes});
}

void FlowEvents::OnFlowTransferProgress(int percent, uint64_t bytes) {
    push({.kind = Kind::TransferProgress, .number = percent, .bytes = bytes});
}

void FlowEvents::OnFlowInternetUnavailable(const base::Error& error) {
    push({.kind = Kind::InternetUnavailable, .number = error.code(), .text = error.message()});
}

void FlowEvents::OnFlowBluetoothUnavailable(FlowLinkLoss cause) {
    push({.kind = Kind::BluetoothUnavailable, .number = static_cast<int>(cause)});
}

void FlowEvents::OnFlowPairLost() {
    push({.kind = Kind::PairLost});
}

void FlowEvents::OnFlowDeviceLost() {
    push({.kind = Kind::DeviceLost});
}

void FlowEvents::OnFlowPackageRefused(const base::Error& why) {
    push({.kind = Kind::PackageRefused, .text = why.message()});
}

void FlowEvents::OnFlowFinish(bool success, int reason) {
    push({.kind = Kind::Finish, .flag = success, .number = reason});
}

}  // namespace ctl
