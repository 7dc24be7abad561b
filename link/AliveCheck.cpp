#include "link/AliveCheck.h"

#include "base/Log.h"
#include "link/BluetoothHandle.h"

void AliveCheck::start(uint64_t epoch) {
    m_link.flags().aliveCheckRunning.store(true);
    m_link.flags().aliveResponse.store(true);
    m_link.workers().start("bt-alive", [this, epoch] { ThreadCheckDeviceAlive(epoch); });
}

void AliveCheck::stop() {
    // Under the pauses' lock, so the wake cannot fall between the pause's check and its wait.
    m_link.workers().wakePauses([this] { m_link.flags().aliveCheckRunning.store(false); });
}

bool AliveCheck::pauseBetweenProbes(std::chrono::milliseconds duration, uint64_t epoch) {
    const auto checkEnds = [this] {
        return m_link.stopping() || !m_link.flags().aliveCheckRunning.load();
    };
    // A link the earbuds closed also ends the pause, but the check goes on to report it.
    m_link.workers().pauseUntil(duration, [&] { return checkEnds() || m_link.peerClosed(epoch); });
    return !checkEnds();
}

bool AliveCheck::closedByEarbuds(uint64_t epoch) {
    m_link.workers().pauseUntil(kStreamEndGrace,
                                [&] { return m_link.stopping() || m_link.peerClosed(epoch); });
    return m_link.peerClosed(epoch);
}

void AliveCheck::ThreadCheckDeviceAlive(uint64_t epoch) {
    // Log lines keep the name the link's log has always used for this thread.
    static constexpr const char* kMethod = "BluetoothHandle::ThreadCheckDeviceAlive";
    _Log(LOG_INFO, kMethod, __LINE__, "=====ThreadCheckDeviceAlive start=====");
    const LinkTimings timing = m_link.timings();
    BluetoothHandle::SessionFlags& flags = m_link.flags();
    while (flags.aliveCheckRunning.load() && m_link.isCurrentLink(epoch) && !m_link.stopping()) {
        bool lost = false;
        if (m_link.peerClosed(epoch)) {
            lost = m_link.failLink(epoch, kMethod, "ThreadCheckDeviceAlive -> the link was closed");
            if (!lost) {
                break;
            }
        } else if (m_link.SendGetDeviceIMEI()) {
            m_event.reset();
            // A stream end noted between the probe and the reset has signalled already; it is
            // seen here instead of after the whole wait.
            if (!m_link.peerClosed(epoch)) {
                m_event.wait(timing.aliveWait);
            }
            // Stopped meanwhile (a firmware session began, a new link, shutdown): the silence
            // is not this check's to judge any more.
            if (!flags.aliveCheckRunning.load() || !m_link.isCurrentLink(epoch) ||
                m_link.stopping()) {
                break;
            }
            if (m_link.peerClosed(epoch)) {
                lost = m_link.failLink(epoch, kMethod,
                                       "ThreadCheckDeviceAlive -> the link was closed");
            } else if (!flags.aliveResponse.load()) {
                lost = m_link.failLink(epoch, kMethod,
                                       "ThreadCheckDeviceAlive -> do not REVC alive response");
            }
            flags.aliveResponse.store(false);
        } else {
            lost = m_link.failLink(epoch, kMethod,
                                   closedByEarbuds(epoch)
                                       ? "ThreadCheckDeviceAlive -> the link was closed"
                                       : "ThreadCheckDeviceAlive -> Can not send message");
            if (!lost) {
                break;
            }
        }
        if (lost) {
            m_link.notify([&](IBluetoothHandleDelegate& r) { r.OnDeviceDisconnected(0); });
            break;
        }
        if (!pauseBetweenProbes(timing.alivePauseStep * timing.alivePauseSteps, epoch)) {
            break;
        }
    }
}
