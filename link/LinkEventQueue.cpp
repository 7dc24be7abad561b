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

void LinkEventQueue::push(LinkEvent event) {
    std::lock_guard lock(m_mutex);
    m_events.push_back(std::move(event));
    m_arrived.notify_all();
}

void LinkEventQueue::OnDeviceStatusChange(DeviceStatus status) {
    if (IBluetoothHandleDelegate* also = m_also.load()) {
        also->OnDeviceStatusChange(status);
    }
    push({.kind = Kind::Status, .status = status});
}

void LinkEventQueue::OnDeviceConnected(bool isConnected, BluetoothDevice* device) {
    if (IBluetoothHandleDelegate* also = m_also.load()) {
        also->OnDeviceConnected(isConnected, device);
    }
    push({.kind = Kind::Connected, .flag = isConnected, .device = device});
}

void LinkEventQueue::OnDeviceDisconnected(int error) {
    if (IBluetoothHandleDelegate* also = m_also.load()) {
        also->OnDeviceDisconnected(error);
    }
    push({.kind = Kind::Disconnected, .number = error});
}

void LinkEventQueue::OnFotaStateChange(int state) {
    if (IBluetoothHandleDelegate* also = m_also.load()) {
        also->OnFotaStateChange(state);
    }
    push({.kind = Kind::FotaState, .number = state});
}

void LinkEventQueue::OnDeviceVersionChange(std::string left, std::string right) {
    if (IBluetoothHandleDelegate* also = m_also.load()) {
        also->OnDeviceVersionChange(left, right);
    }
    push({.kind = Kind::Versions, .left = std::move(left), .right = std::move(right)});
}

void LinkEventQueue::OnDeviceVersionMismatch() {
    if (IBluetoothHandleDelegate* also = m_also.load()) {
        also->OnDeviceVersionMismatch();
    }
    push({.kind = Kind::VersionMismatch});
}

void LinkEventQueue::OnFotaError(int errCode) {
    if (IBluetoothHandleDelegate* also = m_also.load()) {
        also->OnFotaError(errCode);
    }
    push({.kind = Kind::FotaError, .number = errCode});
}

void LinkEventQueue::OnDownloadProgressChange(int percent, uint64_t bytes) {
    if (IBluetoothHandleDelegate* also = m_also.load()) {
        also->OnDownloadProgressChange(percent, bytes);
    }
    push({.kind = Kind::Progress, .number = percent, .bytes = bytes});
}

void LinkEventQueue::OnDownloadFinish(bool success, int errorCode) {
    if (IBluetoothHandleDelegate* also = m_also.load()) {
        also->OnDownloadFinish(success, errorCode);
    }
    push({.kind = Kind::Finish, .flag = success, .number = errorCode});
}

void LinkEventQueue::OnCheckBluetoothResponse(bool isSupport) {
    if (IBluetoothHandleDelegate* also = m_also.load()) {
        also->OnCheckBluetoothResponse(isSupport);
    }
    push({.kind = Kind::Support, .flag = isSupport});
}

void LinkEventQueue::OnDeviceIMEIChange(bool valid, std::string left, std::string right) {
    if (IBluetoothHandleDelegate* also = m_also.load()) {
        also->OnDeviceIMEIChange(valid, left, right);
    }
    push(
        {.kind = Kind::Serials, .flag = valid, .left = std::move(left), .right = std::move(right)});
}

void LinkEventQueue::OnDeviceFindChange(std::map<uint64_t, BluetoothDevice*> devices) {
    if (IBluetoothHandleDelegate* also = m_also.load()) {
        also->OnDeviceFindChange(devices);
    }
    push({.kind = Kind::Found, .devices = std::move(devices)});
}
