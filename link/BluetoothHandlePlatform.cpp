// The device link's procedures over the computer's Bluetooth (platform::bluetooth::Backend):
// start-up, support check, discovery scan, pairing, connect, disconnect, pairing removal and
// error texts.
//
// The log lines keep the names the link's log has always used (WSAStartup, WSALookupService...,
// BluetoothFindFirstDevice, closesocket), so logs read the same whatever Bluetooth access lies
// below; each line now stands for the backend operation named beside it:
//   startService      no library to start: succeeds when the link has a backend
//   support check     Backend::checkRadio, one call per try
//   discovery scan    Backend::scan (one bounded request that yields the whole result list)
//   pairToDevice      Backend::pair; the backend registers and answers the authentication
//                     request itself, accepting only the device being paired
//   connect           Backend::connect with the service class id of the generation; the send
//                     time-out of the returned stream is the connection's own (500 ms)
//   DisConnectToDevice  Connection::close
//   RemoveDevice      Backend::unpair

#include <cerrno>

#include "base/Log.h"
#include "link/BluetoothHandle.h"
#include "link/FrameCodec.h"
#include "link/FrameTranscript.h"

namespace {

constexpr int kSupportCheckTries = 3;

}  // namespace

std::string BluetoothHandle::formatError(int code) {
    return platform::bluetooth::errorText(code);
}

bool BluetoothHandle::startService() {
    if (m_backend) {
        _Log(LOG_INFO, "BluetoothHandle::startService", __LINE__, "WSAStartup() is OK!");
        return true;
    }
    _Log(LOG_WARNING, "BluetoothHandle::startService", __LINE__, "WSAStartup Error:[%d] [%s]",
         ENOSYS, formatError(ENOSYS).c_str());
    closeService();
    return false;
}

void BluetoothHandle::closeService() {
    // Nothing was started, so there is nothing to release.
    _Log(LOG_INFO, "BluetoothHandle::closeService", __LINE__, "WSACleanup() is OK!");
}

bool BluetoothHandle::checkSupport() {
    const std::chrono::milliseconds gap = timings().supportCheckPause;
    for (int attempt = 0; attempt < kSupportCheckTries; ++attempt) {
        const int code = m_backend ? m_backend->checkRadio() : ENOSYS;
        _Log(LOG_INFO, "BluetoothHandle::checkSupport", __LINE__,
             "BluetoothFindFirstDevice: success[%d] trycount[%d] errorcode[%d]: %s",
             code == platform::bluetooth::kOk ? 1 : 0, attempt, code, formatError(code).c_str());
        if (code == platform::bluetooth::kOk) {
            return true;
        }
        if (attempt + 1 < kSupportCheckTries && !m_workers.pause(gap)) {
            return false;
        }
    }
    return false;
}

bool BluetoothHandle::runDiscoveryScan(
    std::vector<platform::bluetooth::DiscoveredDevice>& results) {
    results.clear();
    platform::bluetooth::ScanResult scan =
        m_backend ? m_backend->scan() : platform::bluetooth::ScanResult{ENOSYS, {}};
    if (scan.code != platform::bluetooth::kOk) {
        _Log(LOG_WARNING, "BluetoothHandle::runDiscoveryScan", __LINE__,
             "WSALookupServiceBegin Error:[%d][%s ]", scan.code, formatError(scan.code).c_str());
        m_workers.pause(timings().lookupFailurePause);
        return false;
    }
    _Log(LOG_INFO, "BluetoothHandle::runDiscoveryScan", __LINE__,
         "WSALookupServiceBegin is successful");
    results = std::move(scan.devices);
    return true;
}

bool BluetoothHandle::pairToDevice(BluetoothDevice* device) {
    _Log(LOG_INFO, "BluetoothHandle::pairToDevice", __LINE__, "=====PairToDevice start=====");
    _Log(LOG_INFO, "BluetoothHandle::pairToDevice", __LINE__, "BluetoothAuthReqs = %d", 0);
    const int code = m_backend ? m_backend->pair(device->address) : ENOSYS;
    if (code == platform::bluetooth::kOk) {
        return true;
    }
    _Log(LOG_INFO, "BluetoothHandle::pairToDevice", __LINE__, "BluetoothAuthenticateDevice ret %d",
         code);
    switch (code) {
        case platform::bluetooth::kErrorCancelled:
            _Log(LOG_INFO, "BluetoothHandle::pairToDevice", __LINE__, "Cancelled");
            break;
        case platform::bluetooth::kErrorInvalidParameter:
            _Log(LOG_INFO, "BluetoothHandle::pairToDevice", __LINE__, "Invalid Parameter");
            break;
        case platform::bluetooth::kErrorAlreadyPaired:
            _Log(LOG_INFO, "BluetoothHandle::pairToDevice", __LINE__, "Already paired!");
            break;
        default:
            _Log(LOG_INFO, "BluetoothHandle::pairToDevice", __LINE__, "%s",
                 formatError(code).c_str());
            break;
    }
    return false;
}

int BluetoothHandle::connectProcedure(BluetoothDevice* device) {
    pairToDevice(device);
    setConnectedDevice(device);
    _Log(LOG_INFO, "BluetoothHandle::connectProcedure", __LINE__, "Connecting device [%s]....",
         device->name.c_str());
    {
        // The attempt replaces the previous link: close it, so its listener ends and its
        // watchdogs (which see the new epoch) end quietly.
        std::lock_guard lock(m_connectionMutex);
        ++m_linkEpoch;
        if (m_connection && m_connection->isOpen()) {
            m_connection->close();
        }
    }
    const bool second = devlink::isSecondGenerationName(device->name);
    device->setModelCode(second ? kModelCodeSecond : kModelCodeFirst);
    const std::string serviceUuid = second ? kServiceUuidSecond : kServiceUuidFirst;

    platform::bluetooth::ConnectResult result =
        m_backend ? m_backend->connect(device->address, serviceUuid)
                  : platform::bluetooth::ConnectResult{ENOSYS, nullptr};
    _Log(LOG_INFO, "BluetoothHandle::connectProcedure", __LINE__, "Connect Ret = %d", result.code);
    if (result.code != platform::bluetooth::kOk || !result.connection) {
        _Log(LOG_WARNING, "BluetoothHandle::connectProcedure", __LINE__,
             "Connect Error:[%d] [%s] service [%s]", result.code, formatError(result.code).c_str(),
             serviceUuid.c_str());
        return result.code != platform::bluetooth::kOk ? result.code : EPROTO;
    }
    setConnection(std::move(result.connection));
    devlink::FrameTranscript::shared().beginSession(device->name, device->address);
    return platform::bluetooth::kOk;
}

void BluetoothHandle::closeConnectionLocked(const char* method) {
    if (!m_connection) {
        // No link was ever opened: the close has nothing to work on.
        _Log(LOG_INFO, method, __LINE__, "closesocket Ret = %d", -1);
        _Log(LOG_WARNING, method, __LINE__, "closesocket failed: %d", ENOTCONN);
        _Log(LOG_WARNING, method, __LINE__, "closesocket ferror:[%s]",
             formatError(ENOTCONN).c_str());
        return;
    }
    m_closedHereEpoch.store(m_linkEpoch);
    m_connection->close();
    _Log(LOG_INFO, method, __LINE__, "closesocket Ret = %d", 0);
}

bool BluetoothHandle::DisConnectToDevice() {
    std::lock_guard lock(m_connectionMutex);
    closeConnectionLocked("BluetoothHandle::DisConnectToDevice");
    return true;
}

int BluetoothHandle::RemoveDevice(BluetoothDevice* device) {
    _Log(LOG_INFO, "BluetoothHandle::RemoveDevice", __LINE__, "=====RemoveDevice start=====");
    const int code =
        device == nullptr ? EINVAL : (m_backend ? m_backend->unpair(device->address) : ENOSYS);
    _Log(LOG_INFO, "BluetoothHandle::RemoveDevice", __LINE__, "RemoveDevice ret %d", code);
    return code;
}
