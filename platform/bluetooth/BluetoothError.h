#pragma once

#include <string>

namespace platform::bluetooth {

// Result codes of the Bluetooth seam. 0 is success. The pairing outcomes keep the numbers the
// device link has always logged and reacted to; every other failure is an errno value
// (ENODEV no radio, ETIMEDOUT no answer in time, EHOSTDOWN device out of reach, ...).
enum BluetoothError : int {
    kOk = 0,
    kErrorInvalidParameter = 87,
    // Pairing: the device is paired already (the link goes on and connects).
    kErrorAlreadyPaired = 259,
    kErrorCancelled = 1223,
    kErrorNotAuthenticated = 1244,
};

// The text for a result code, for log lines and messages: the seam's own codes by name, errno
// values through strerror_r. Safe to call from any thread at once.
std::string errorText(int code);

}  // namespace platform::bluetooth
