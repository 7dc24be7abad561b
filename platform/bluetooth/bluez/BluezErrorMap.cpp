#include "platform/bluetooth/bluez/BluezErrorMap.h"

#include <cerrno>
#include <string_view>

#include "platform/bluetooth/BluetoothError.h"

namespace platform::bluetooth {
namespace {

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

// org.bluez.Error.Failed carries the cause in its message: an errno text from pairing
// ("Host is down"), or one of the "br-connection-..." reasons BlueZ 5.66 gives a connect
// (btd_error_bredr_conn_from_errno). A lost link key shows as "br-connection-refused" or
// "br-connection-unknown"; nothing tells it apart from a refusal for another reason.
int mapFailedMessage(BluezOperation operation, const std::string& message) {
    const bool connecting = operation == BluezOperation::Connect;
    if (contains(message, "page-timeout") || contains(message, "Page Timeout") ||
        contains(message, "Host is down") || contains(message, "No route to host")) {
        return EHOSTDOWN;
    }
    if (contains(message, "adapter-not-powered")) {
        return ENODEV;
    }
    if (contains(message, "profile-unavailable") || contains(message, "br-connection-refused") ||
        contains(message, "aborted-by-remote") || contains(message, "Connection refused")) {
        return connecting ? ECONNREFUSED : EIO;
    }
    if (contains(message, "br-connection-busy") || contains(message, "already-connected") ||
        contains(message, "concurrent-connection-limit") ||
        contains(message, "Device or resource busy")) {
        return EBUSY;
    }
    if (contains(message, "Permission denied")) {
        return EACCES;
    }
    if (contains(message, "br-connection-timeout") || contains(message, "timed out")) {
        return ETIMEDOUT;
    }
    if (contains(message, "not-supported")) {
        return EOPNOTSUPP;
    }
    if (contains(message, "invalid-argument")) {
        return kErrorInvalidParameter;
    }
    if (contains(message, "lmp-protocol-error")) {
        return EPROTO;
    }
    // sdp-search, create-socket, bad-socket, memory-allocation, canceled, aborted-by-local,
    // unknown, and anything newer.
    return EIO;
}

int mapBluezOwnError(BluezOperation operation, std::string_view reason,
                     const std::string& message) {
    const bool onDevice = operation == BluezOperation::Pair || operation == BluezOperation::Connect;
    if (reason == "AlreadyExists") {
        return operation == BluezOperation::Pair ? kErrorAlreadyPaired : EEXIST;
    }
    if (reason == "AuthenticationCanceled") {
        return kErrorCancelled;
    }
    if (reason == "AuthenticationRejected" || reason == "AuthenticationFailed") {
        return operation == BluezOperation::Connect ? EACCES : kErrorNotAuthenticated;
    }
    if (reason == "AuthenticationTimeout") {
        return ETIMEDOUT;
    }
    if (reason == "ConnectionAttemptFailed") {
        return EHOSTDOWN;
    }
    if (reason == "InvalidArguments") {
        return kErrorInvalidParameter;
    }
    if (reason == "InProgress" || reason == "AlreadyConnected" || reason == "NotPermitted") {
        // NotPermitted: another program holds the service class id (a second instance).
        return EBUSY;
    }
    if (reason == "NotReady" || reason == "Blocked") {
        return ENODEV;
    }
    if (reason == "DoesNotExist") {
        return onDevice ? EHOSTDOWN : ENOENT;
    }
    if (reason == "NotAvailable" || reason == "NotSupported") {
        return operation == BluezOperation::Connect ? ECONNREFUSED : EOPNOTSUPP;
    }
    if (reason == "NotConnected") {
        return onDevice ? EHOSTDOWN : ENOTCONN;
    }
    if (reason == "Failed") {
        return mapFailedMessage(operation, message);
    }
    return EPROTO;
}

}  // namespace

bool isBluezBusy(const std::string& name, const std::string& message) {
    return name == "org.bluez.Error.InProgress" || name == "org.bluez.Error.AlreadyConnected" ||
           contains(message, "br-connection-busy");
}

bool isProfileUnavailable(const std::string& name, const std::string& message) {
    return name == "org.bluez.Error.NotAvailable" ||
           contains(message, "br-connection-profile-unavailable");
}

bool isBluezUnreachable(const std::string& name) {
    return name == "org.freedesktop.DBus.Error.ServiceUnknown" ||
           name == "org.freedesktop.DBus.Error.NameHasNoOwner" ||
           name == "org.freedesktop.DBus.Error.NoServer" ||
           name == "org.freedesktop.DBus.Error.Disconnected" ||
           name == "org.freedesktop.DBus.Error.NoNetwork" ||
           startsWith(name, "org.freedesktop.DBus.Error.Spawn.") ||
           startsWith(name, "org.freedesktop.systemd1.") || startsWith(name, "System.Error.");
}

int mapBluezError(BluezOperation operation, const std::string& name, const std::string& message) {
    if (isBluezUnreachable(name)) {
        // The seam gives connect ECONNREFUSED for a device without the service, so there an
        // unreachable Bluetooth service is ENOENT.
        return operation == BluezOperation::Connect ? ENOENT : ECONNREFUSED;
    }
    if (name == "org.freedesktop.DBus.Error.NoReply" ||
        name == "org.freedesktop.DBus.Error.Timeout" ||
        name == "org.freedesktop.DBus.Error.TimedOut") {
        return ETIMEDOUT;
    }
    if (name == "org.freedesktop.DBus.Error.AccessDenied") {
        return EACCES;
    }
    if (name == "org.freedesktop.DBus.Error.InvalidArgs") {
        return kErrorInvalidParameter;
    }
    if (name == "org.freedesktop.DBus.Error.UnknownObject" ||
        name == "org.freedesktop.DBus.Error.UnknownMethod" ||
        name == "org.freedesktop.DBus.Error.UnknownInterface") {
        // The device object went away between looking it up and calling it.
        if (operation == BluezOperation::Pair || operation == BluezOperation::Connect) {
            return EHOSTDOWN;
        }
        return operation == BluezOperation::Unpair ? ENOENT : EPROTO;
    }
    constexpr std::string_view kBluezPrefix = "org.bluez.Error.";
    if (startsWith(name, kBluezPrefix)) {
        return mapBluezOwnError(operation, std::string_view(name).substr(kBluezPrefix.size()),
                                message);
    }
    return EPROTO;
}

}  // namespace platform::bluetooth
