#pragma once

#include <functional>

namespace sdbus {
class Error;
class IConnection;
}  // namespace sdbus

namespace platform::dbus {

// The wait of a thread that owns an sdbus-c++ connection and also takes work from other
// threads: it handles what the bus has already delivered, then sleeps until the bus has more,
// the bus's next timeout falls due, or another thread signals the wake eventfd.
class BusThreadWait {
public:
    // A failure of the connection, for the caller to report in its own words.
    using ErrorHandler = std::function<void(const sdbus::Error& error)>;

    // connection may be null (no bus: only the wake fd is watched). The wake fd's count is
    // consumed before returning; it must be non-blocking.
    static void wait(sdbus::IConnection* connection, int wakeFd, const ErrorHandler& onError);
};

}  // namespace platform::dbus
