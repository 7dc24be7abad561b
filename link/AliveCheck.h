#pragma once

#include <chrono>
#include <cstdint>

#include "platform/Event.h"

class BluetoothHandle;

// The alive check of a connection: a thread that sends the serial-number request as a probe,
// waits for any received chunk, and declares the link lost (OnDeviceDisconnected(0)) when the
// earbuds stay silent for one probe's wait or a probe cannot be sent. It runs from a successful
// connect until the link ends, a firmware session stops it, or the link shuts down.
class AliveCheck {
public:
    explicit AliveCheck(BluetoothHandle& link) : m_link(link) {}
    AliveCheck(const AliveCheck&) = delete;
    AliveCheck& operator=(const AliveCheck&) = delete;

    // Starts the check for the link of epoch: marks it running and the first probe answered.
    void start(uint64_t epoch);
    // Clears the running flag and wakes the check's pause; the thread ends at once.
    void stop();
    // "WAIT_ALIVE": auto-reset; signalled by every received chunk; wakes the wait after a probe.
    platform::Event& event() { return m_event; }

private:
    void ThreadCheckDeviceAlive(uint64_t epoch);
    // The pause between probes: one timed wait, cut short by shutdown or stop(), or by the
    // earbuds closing link `epoch` (which the check then reports). False when the check ends.
    bool pauseBetweenProbes(std::chrono::milliseconds duration, uint64_t epoch);
    // After a probe could not be sent: whether the earbuds closed link `epoch`. A send to a
    // stream the earbuds just closed can fail before the receive side has seen the stream's end,
    // so the receive side gets a moment to tell it.
    bool closedByEarbuds(uint64_t epoch);

    // How long a failed send waits for the receive side to report the stream's end.
    static constexpr std::chrono::milliseconds kStreamEndGrace{500};

    BluetoothHandle& m_link;
    platform::Event m_event{platform::Event::Reset::Auto};
};
