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
// ("Host is down"), or one of BlueZ's "br-connection-..." reasons from ConnectProfile.
int mapFailedMessage(BluezOperation operation, const std::string& message) {
    if (contains(message, "page-timeout") || contains(message, "Page Timeout") ||
        contains(message, "Host is down") || contains(message, "No route to host")) {
        return EHOSTDOWN;
    }
    if (contains(message, "not-powered")) {
        return ENODEV;
    }
    if (contains(message, "profile-unavailable") || contains(message, "refused")) {
        return operation == BluezOperation::Connect ? ECONNREFUSED : EIO;
    }
    if (contains(message, "busy") || contains(message, "already-connected")) {
        return EBUSY;
    }
    if (contains(message, "key-missing") || contains(message, "Permission denied")) {
        return EACCES;
    }
    if (contains(message, "timed out") || contains(message, "timeout")) {
        return ETIMEDOUT;
    }
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
