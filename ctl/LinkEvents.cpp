#include "ctl/LinkEvents.h"

namespace ctl {

using Kind = LinkEvent::Kind;

std::optional<LinkEvent> LinkEvents::next(Clock::time_point deadline) {
    std::unique_lock lock(m_mutex);
    if (!m_arrived.wait_until(lock, deadline, [this] { return !m_events.empty(); })) {
        return std::nullopt;
    }
    LinkEvent event = std::move(m_events.front());
    m_events.pop_front();
    return event;
}

void LinkEvents::push(LinkEvent event) {
    std::lock_guard lock(m_mutex);
    m_events.push_back(std::move(event));
    m_arrived.notify_all();
}

void LinkEvents::OnDeviceStatusChange(DeviceStatus status) {
    push({.kind = Kind::Status, .status = status});
}

void LinkEvents::OnDeviceConnected(bool isConnected, BluetoothDevice* device) {
    push({.kind = Kind::Connected, .flag = isConnected, .device = device});
}

void LinkEvents::OnDeviceDisconnected(int error) {
    push({.kind = Kind::Disconnected, .number = error});
}

void LinkEvents::OnFotaStateChange(int state) {
    push({.kind = Kind::FotaState, .number = state});
}

void LinkEvents::OnDeviceVersionChange(std::string left, std::string right) {
    push({.kind = Kind::Versions, .left = std::move(left), .right = std::move(right)});
}

void LinkEvents::OnDeviceVersionMismatch() {
    push({.kind = Kind::VersionMismatch});
}

void LinkEvents::OnFotaError(int errCode) {
    push({.kind = Kind::FotaError, .number = errCode});
}

void LinkEvents::OnDownloadProgressChange(int percent, uint64_t bytes) {
    push({.kind = Kind::Progress, .number = percent, .bytes = bytes});
}

void LinkEvents::OnDownloadFinish(bool success, int errorCode) {
    push({.kind = Kind::Finish, .flag = success, .number = errorCode});
}

void LinkEvents::OnCheckBluetoothResponse(bool isSupport) {
    push({.kind = Kind::Support, .flag = isSupport});
}

void LinkEvents::OnDeviceIMEIChange(bool valid, std::string left, std::string right) {
    push(
        {.kind = Kind::Serials, .flag = valid, .left = std::move(left), .right = std::move(right)});
}

void LinkEvents::OnDeviceFindChange(std::map<uint64_t, BluetoothDevice*> devices) {
    push({.kind = Kind::Found, .devices = std::move(devices)});
}

}  // namespace ctl
