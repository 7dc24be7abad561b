#include "platform/dbus/BusThreadWait.h"

#include <poll.h>
#include <sdbus-c++/sdbus-c++.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>

namespace platform::dbus {

void BusThreadWait::wait(sdbus::IConnection* connection, int wakeFd, const ErrorHandler& onError) {
    pollfd fds[2] = {{wakeFd, POLLIN, 0}, {-1, 0, 0}};
    int timeoutMs = -1;
    if (connection != nullptr) {
        try {
            while (connection->processPendingRequest()) {
            }
            const sdbus::IConnection::PollData data = connection->getEventLoopPollData();
            fds[1] = {data.fd, data.events, 0};
            if (const auto relative = data.getRelativeTimeout()) {
                timeoutMs = static_cast<int>(
                    std::chrono::ceil<std::chrono::milliseconds>(*relative).count());
            }
        } catch (const sdbus::Error& error) {
            onError(error);
        }
    }
    ::poll(fds, fds[1].fd >= 0 ? 2 : 1, timeoutMs);
    uint64_t count = 0;
    while (::read(wakeFd, &count, sizeof count) > 0) {
    }
}

}  // namespace platform::dbus
