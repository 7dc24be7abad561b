#include "platform/bluetooth/BluetoothError.h"

#include <cstring>

namespace platform::bluetooth {
namespace {

// strerror_r comes in two flavours; each overload picks the text out of its own.
[[maybe_unused]] const char* pickText(int result, const char* buffer) {
    return result == 0 ? buffer : "";
}
[[maybe_unused]] const char* pickText(const char* result, const char* /*buffer*/) {
    return result != nullptr ? result : "";
}

}  // namespace

std::string errorText(int code) {
    switch (code) {
        case kOk:
            return "Success";
        case kErrorInvalidParameter:
            return "The parameter is incorrect";
        case kErrorAlreadyPaired:
            return "The device is already paired";
        case kErrorCancelled:
            return "The operation was cancelled";
        case kErrorNotAuthenticated:
            return "The device is not authenticated";
        default:
            break;
    }
    char buffer[256] = {};
    return pickText(::strerror_r(code, buffer, sizeof(buffer)), buffer);
}

}  // namespace platform::bluetooth
