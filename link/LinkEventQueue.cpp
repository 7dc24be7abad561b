#include "link/LinkEventQueue.h"

namespace {
using Kind = LinkEvent::Kind;
}  // namespace

std::optional<LinkEvent> LinkEventQueue::next(Clock::time_point deadline) {
    std::unique_lock lock(m_mutex);
    if (!m_arrived.wait_until(lock, deadline, [this] { return !m_events.empty(); })) {
        return std::nullopt;
    }
    LinkEvent event = std::move(m_events.front());
    m_events.pop_front();
    return event;
}

template <typename Method, typename... Args>
void LinkEventQueue::tellAlso(Method method, const Args&... args) {
    if (IBluetoothHandleDelegate* also = m_also.load()) {
        (also->*method)(args...);
    }
}

void LinkEventQueue::push(LinkEvent event) {
    std::lock_guard lock(m_mutex);
    m_events.push_back(std::move(event));
    m_arrived.notify_all();
}

void LinkEventQueue::OnDeviceStatusChange(DeviceStatus status) {
    tellAlso(&IBluetoothHandleDelegate::OnDeviceStatusChange, status);
    push({.kind = Kind::Status, .status = status});
}

void LinkEventQueue::OnDeviceConnected(bool isConnected, BluetoothDevice* device) {
    tellAlso(&IBluetoothHandleDelegate::OnDeviceConnected, isConnected, device);
    push({.kind = Kind::Connected, .flag = isConnected, .device = device});
}

void LinkEventQueue::OnDeviceDisconnected(int error) {
    tellAlso(&IBluetoothHandleDelegate::OnDeviceDisconnected, error);
    push({.kind = Kind::Disconnected, .number = error});
}

void LinkEventQueue::OnFotaStateChange(int state) {
    tellAlso(&IBluetoothHandleDelegate::OnFotaStateChange, state);
    push({.kind = Kind::FotaState, .number = state});
}

void LinkEventQueue::OnDeviceVersionChange(std::string left, std::string right) {
    tellAlso(&IBluetoothHandleDelegate::OnDeviceVersionChange, left, right);
    push({.kind = Kind::Versions, .left = std::move(left), .right = std::move(right)});
}

void LinkEventQueue::OnDeviceVersionMismatch() {
    tellAlso(&IBluetoothHandleDelegate::OnDeviceVersionMismatch);
    push({.kind = Kind::VersionMismatch});
}

void LinkEventQueue::OnFotaError(int errCode) {
    tellAlso(&IBluetoothHandleDelegate::OnFotaError, errCode);
    push({.kind = Kind::FotaError, .number = errCode});
}

void LinkEventQueue::OnDownloadProgressChange(int percent, uint64_t bytes) {
    tellAlso(&IBluetoothHandleDelegate::OnDownloadProgressChange, percent, bytes);
    push({.kind = Kind::Progress, .number = percent, .bytes = bytes});
}

void LinkEventQueue::OnDownloadFinish(bool success, int errorCode) {
    tellAlso(&IBluetoothHandleDelegate::OnDownloadFinish, success, errorCode);
    push({.kind = Kind::Finish, .flag = success, .number = errorCode});
}

void LinkEventQueue::OnCheckBluetoothResponse(bool isSupport) {
    tellAlso(&IBluetoothHandleDelegate::OnCheckBluetoothResponse, isSupport);
    push({.kind = Kind::Support, .flag = isSupport});
}

void LinkEventQueue::OnDeviceIMEIChange(bool valid, std::string left, std::string right) {
    tellAlso(&IBluetoothHandleDelegate::OnDeviceIMEIChange, valid, left, right);
    push(
        {.kind = Kind::Serials, .flag = valid, .left = std::move(left), .right = std::move(right)});
}

void LinkEventQueue::OnDeviceFindChange(std::map<uint64_t, BluetoothDevice*> devices) {
    tellAlso(&IBluetoothHandleDelegate::OnDeviceFindChange, devices);
    push({.kind = Kind::Found, .devices = std::move(devices)});
}
