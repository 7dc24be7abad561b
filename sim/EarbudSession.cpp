#include "sim/EarbudSession.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "base/Log.h"
#include "link/MessageIds.h"
#include "platform/TickCount.h"
#include "sim/EarbudReports.h"
#include "sim/FrameText.h"
#include "sim/Transcript.h"
#include "sim/VirtualEarbuds.h"

namespace sim {
namespace {

constexpr std::size_t kReadSize = 4096;
// After a successful update is acknowledged the earbuds leave the link to install and restart.
constexpr uint64_t kDropAfterSuccessMs = 100;
// The pause between the two halves of a frame split on purpose, so they arrive in two reads.
constexpr auto kSplitPause = std::chrono::milliseconds(100);

}  // namespace

EarbudSession::EarbudSession(VirtualEarbuds& device,
                             std::shared_ptr<platform::bluetooth::FdConnection> link,
                             FirmwareReceiver::Settings receiverSettings, const SimTiming& timing,
                             Transcript& transcript)
    : m_device(device),
      m_link(std::move(link)),
      m_timing(timing),
      m_transcript(transcript),
      m_generation(device.generation()),
      m_decoder(device.generation()),
      m_receiver(std::move(receiverSettings), *this),
      m_wakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

EarbudSession::~EarbudSession() {
    if (m_wakeFd >= 0) {
        ::close(m_wakeFd);
    }
}

void EarbudSession::post(Command command) {
    {
        std::lock_guard lock(m_commandMutex);
        m_commands.push_back(command);
    }
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof(one));
}

void EarbudSession::run() {
    const uint64_t start = platform::tickCount();
    m_firstReportAt = start + static_cast<uint64_t>(std::max(0, m_timing.connectReportDelayMs));
    m_nextPeriodicReport = start + static_cast<uint64_t>(m_timing.statusIntervalMs);
    m_transcript.note(m_device.address(), "link opened");
    if (const auto forced = m_device.takeForcedResult(); forced && !forced->now) {
        m_receiver.forceResult(forced->state, forced->reason);
    }
    while (m_open && m_link->isOpen()) {
        pollfd fds[2] = {{m_link->fd(), POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
        const int ready = ::poll(fds, 2, pollTimeout(platform::tickCount()));
        if (ready < 0 && errno != EINTR) {
            break;
        }
        const uint64_t now = platform::tickCount();
        if (fds[1].revents & POLLIN) {
            uint64_t count = 0;
            [[maybe_unused]] const ssize_t got = ::read(m_wakeFd, &count, sizeof(count));
            drainCommands(now);
        }
        if (m_open && (fds[0].revents & (POLLIN | POLLHUP | POLLERR))) {
            readFromLink(now);
        }
        if (m_open) {
            runTimers(platform::tickCount());
        }
    }
    m_transcript.note(m_device.address(), "link closed");
}

int EarbudSession::pollTimeout(uint64_t now) const {
    std::optional<uint64_t> next;
    const auto consider = [&](std::optional<uint64_t> at) {
        if (at && (!next || *at < *next)) {
            next = at;
        }
    };
    consider(m_firstReportAt);
    consider(m_dropAt);
    consider(m_receiver.deadline());
    for (const PendingAck& ack : m_pendingAcks) {
        consider(ack.deadline);
    }
    if (m_timing.statusIntervalMs > 0) {
        consider(m_nextPeriodicReport);
    }
    if (!next) {
        return -1;
    }
    // Wake at least every second so a device that stops being silent picks up its timers.
    return static_cast<int>(std::min<uint64_t>(*next > now ? *next - now : 0, 1000));
}

// --- commands -------------------------------------------------------------------------------

void EarbudSession::drainCommands(uint64_t now) {
    std::deque<Command> commands;
    {
        std::lock_guard lock(m_commandMutex);
        commands.swap(m_commands);
    }
    for (Command command : commands) {
        handleCommand(command, now);
    }
}

void EarbudSession::handleCommand(Command command, uint64_t now) {
    switch (command) {
        case Command::Drop:
            m_open = false;
            return;
        case Command::FirmwareResult:
            if (const auto forced = m_device.takeForcedResult()) {
                if (forced->now) {
                    m_receiver.reportNow(forced->state, forced->reason, now);
                    afterFirmwareStep(now);
                } else {
                    m_receiver.forceResult(forced->state, forced->reason);
                }
            }
            return;
        default:
            break;
    }
    if (!speaking()) {
        return;
    }
    switch (command) {
        case Command::StatusChanged:
        case Command::ReportStatus:
            sendStatus(MSG_ID_STATUS_UPDATED, now);
            return;
        case Command::ReportExtended:
            sendStatus(MSG_ID_EXTENDED_STATUS_UPDATED, now);
            return;
        case Command::VersionsChanged:
            sendVersions();
            return;
        case Command::Emergency:
            sendEmergency(now);
            return;
        default:
            return;
    }
}

// --- receiving ------------------------------------------------------------------------------

void EarbudSession::readFromLink(uint64_t now) {
    uint8_t buffer[kReadSize];
    const std::ptrdiff_t count = m_link->receive(buffer, sizeof(buffer));
    if (count <= 0) {
        m_open = false;
        return;
    }
    const auto frames =
        m_decoder.feed(std::span<const uint8_t>(buffer, static_cast<std::size_t>(count)));
    if (m_decoder.skippedBytes() != m_skippedSeen) {
        m_transcript.note(m_device.address(),
                          "skipped " + std::to_string(m_decoder.skippedBytes() - m_skippedSeen) +
                              " byte(s) that started no frame");
        m_skippedSeen = m_decoder.skippedBytes();
    }
    for (const devlink::DecodedFrame& frame : frames) {
        m_transcript.record(m_device.address(), Transcript::Direction::Received, frame.frame);
        if (m_device.silent() || m_stalled) {
            continue;  // silent earbuds read everything and answer nothing
        }
        handleFrame(frame, now);
        if (!m_open) {
            return;
        }
    }
}

// The header must be the generation's own; only the reset request carries a first-generation
// header between second-generation markers.
bool EarbudSession::checkLayout(const devlink::DecodedFrame& frame) {
    const Generation expected = frame.messageId == MSG_ID_RESET ? Generation::First : m_generation;
    if (frame.header == expected) {
        return true;
    }
    expectationFailed(std::string("expected a ") + generationLabel(expected) +
                      "-generation header, got " + describeFrame(frame));
    return false;
}

void EarbudSession::handleFrame(const devlink::DecodedFrame& frame, uint64_t now) {
    const bool transfer = FirmwareReceiver::isTransferMessage(frame, m_generation);
    if (!frame.checksumOk) {
        expectationFailed("expected a frame with a good checksum, got " + describeFrame(frame));
        if (transfer) {
            m_receiver.onCorruptFrame(frame, now);
            afterFirmwareStep(now);
        }
        return;
    }
    if (!checkLayout(frame)) {
        return;
    }
    const std::vector<uint8_t>& p = frame.payload;
    switch (frame.messageId) {
        case MSG_ID_DEBUG_SERIAL_NUMBER:
            if (frame.response || !p.empty()) {
                expectationFailed("expected a serial-number request without payload, got " +
                                  describeFrame(frame));
            }
            sendFrame(MSG_ID_DEBUG_SERIAL_NUMBER, true,
                      EarbudReports::serialNumbers(m_device.state(), m_generation));
            return;
        case MSG_ID_RESET:
            handleReset(frame);
            return;
        case MSG_ID_STATUS_UPDATED:
        case MSG_ID_EXTENDED_STATUS_UPDATED:
            if (m_generation == Generation::Second && frame.response) {
                handleAcknowledgement(frame.messageId, frame, p.size() == 1 && p[0] == 0, now);
                return;
            }
            break;
        case MSG_ID_UPDATE_RESPONSE:
            if (m_generation == Generation::First && frame.response && !transfer) {
                const uint8_t id = p.empty() ? 0 : p[0];
                handleAcknowledgement(id, frame, p.size() == 2 && p[1] == 0, now);
                return;
            }
            break;
        case MSG_ID_FOTA2_EMERGENCY:
            if (frame.response) {
                handleAcknowledgement(MSG_ID_FOTA2_EMERGENCY, frame, p.size() == 1 && p[0] == 0,
                                      now);
                return;
            }
            break;
        default:
            break;
    }
    if (transfer) {
        if (FirmwareReceiver::isOpenMessage(frame, m_generation)) {
            m_receiver.setSettings(m_device.receiverSettings());  // CTL SET may have changed them
        }
        m_receiver.onFrame(frame, now);
        afterFirmwareStep(now);
        return;
    }
    expectationFailed("expected a message these earbuds handle, got " + describeFrame(frame));
}

void EarbudSession::handleAcknowledgement(uint8_t reportedId, const devlink::DecodedFrame& frame,
                                          bool wellFormed, uint64_t now) {
    const auto pending =
        std::find_if(m_pendingAcks.begin(), m_pendingAcks.end(),
                     [&](const PendingAck& ack) { return ack.reportedId == reportedId; });
    if (pending == m_pendingAcks.end()) {
        expectationFailed(
            "expected no acknowledgement (nothing reported is waiting for one), got " +
            describeFrame(frame));
        return;
    }
    if (!wellFormed) {
        expectationFailed(
            m_generation == Generation::Second
                ? "expected the acknowledgement payload 00, got " + describeFrame(frame)
                : "expected the acknowledgement payload <id> 00, got " + describeFrame(frame));
        return;
    }
    m_pendingAcks.erase(pending);
    m_device.noteAcknowledged(reportedId);
    if (reportedId == MSG_ID_EXTENDED_STATUS_UPDATED && m_versionsPending) {
        m_versionsPending = false;
        sendVersions();
    }
    (void)now;
}

void EarbudSession::handleReset(const devlink::DecodedFrame& frame) {
    if (!frame.payload.empty() || frame.response) {
        expectationFailed("expected a reset request without payload, got " + describeFrame(frame));
    }
    _Log(LOG_INFO, "EarbudSession::handleReset", __LINE__, "%s: reset requested; restarting",
         m_device.label().c_str());
    m_transcript.note(m_device.address(), "reset requested: restarting");
    m_device.resetRequested();
    m_open = false;
}

// --- timers ---------------------------------------------------------------------------------

void EarbudSession::runTimers(uint64_t now) {
    if (!m_stalled && m_receiver.active()) {
        if (const auto stallAt = m_device.stallPercent();
            stallAt && m_receiver.percent() >= *stallAt) {
            m_stalled = true;
            _Log(LOG_INFO, "EarbudSession::runTimers", __LINE__,
                 "%s: transfer stalled at %d percent as asked", m_device.label().c_str(),
                 m_receiver.percent());
            m_transcript.note(m_device.address(), "stopped answering mid-transfer");
        }
    }
    if (m_device.silent() || m_stalled) {
        return;
    }
    if (m_dropAt && now >= *m_dropAt) {
        m_open = false;
        return;
    }
    if (m_firstReportAt && now >= *m_firstReportAt) {
        m_firstReportAt.reset();
        m_versionsPending = true;
        sendStatus(MSG_ID_EXTENDED_STATUS_UPDATED, now);
    }
    for (std::size_t i = 0; i < m_pendingAcks.size();) {
        PendingAck& ack = m_pendingAcks[i];
        if (now < ack.deadline) {
            ++i;
            continue;
        }
        char text[128];
        std::snprintf(text, sizeof(text),
                      "expected the acknowledgement of 0x%02X within %d ms, got nothing",
                      ack.reportedId, m_timing.ackTimeoutMs);
        expectationFailed(text);
        const uint8_t id = ack.reportedId;
        const int retries = ack.retriesLeft;
        m_pendingAcks.erase(m_pendingAcks.begin() + static_cast<std::ptrdiff_t>(i));
        if (retries > 0 && id != MSG_ID_FOTA2_EMERGENCY) {
            sendStatus(id, now);
            m_pendingAcks.back().retriesLeft = retries - 1;
        } else if (id == MSG_ID_EXTENDED_STATUS_UPDATED && m_versionsPending) {
            m_versionsPending = false;
            sendVersions();
        }
    }
    if (m_timing.statusIntervalMs > 0 && now >= m_nextPeriodicReport) {
        m_nextPeriodicReport = now + static_cast<uint64_t>(m_timing.statusIntervalMs);
        if (!duringTransfer() && !m_firstReportAt) {
            sendStatus(MSG_ID_STATUS_UPDATED, now);
        }
    }
    if (m_receiver.active()) {
        m_receiver.onTimer(now);
        afterFirmwareStep(now);
    }
}

void EarbudSession::afterFirmwareStep(uint64_t now) {
    m_device.noteTransfer(m_receiver.active(), m_receiver.percent());
    const auto& outcome = m_receiver.outcome();
    if (!outcome || m_outcomeTaken) {
        return;
    }
    if (!outcome->success()) {
        m_outcomeTaken = true;
        m_device.firmwareFinished(*outcome);
        return;
    }
    if (m_receiver.finished()) {
        // Acknowledged, or the wait for the acknowledgement ran out: install and restart.
        m_outcomeTaken = true;
        m_device.firmwareFinished(*outcome);
        m_dropAt = now + kDropAfterSuccessMs;
    }
}

bool EarbudSession::duringTransfer() const {
    return m_receiver.active();
}

bool EarbudSession::speaking() const {
    return !m_device.silent() && !m_stalled;
}

// --- sending --------------------------------------------------------------------------------

void EarbudSession::sendStatus(uint8_t id, uint64_t now) {
    const EarbudState state = m_device.state();
    sendFrame(id, false,
              id == MSG_ID_STATUS_UPDATED
                  ? EarbudReports::statusUpdated(state)
                  : EarbudReports::extendedStatusUpdated(state, m_generation));
    expectAck(id, now);
}

void EarbudSession::sendVersions() {
    const EarbudState state = m_device.state();
    sendFrame(MSG_ID_FOTA_DEVICE_INFO_SW_VERSION, true,
              EarbudReports::softwareVersion('L', state.versionLeft));
    sendFrame(MSG_ID_FOTA_DEVICE_INFO_SW_VERSION, true,
              EarbudReports::softwareVersion('R', state.versionRight));
}

void EarbudSession::sendEmergency(uint64_t now) {
    sendFrame(MSG_ID_FOTA2_EMERGENCY, false, {0x00});
    expectAck(MSG_ID_FOTA2_EMERGENCY, now);
}

void EarbudSession::expectAck(uint8_t id, uint64_t now) {
    PendingAck ack;
    ack.reportedId = id;
    ack.deadline = now + static_cast<uint64_t>(std::max(1, m_timing.ackTimeoutMs));
    ack.retriesLeft = m_timing.reportRetries;
    m_pendingAcks.push_back(ack);
}

void EarbudSession::sendFrame(uint8_t id, bool response, std::vector<uint8_t> payload) {
    if (!speaking() || !m_open) {
        return;
    }
    std::vector<uint8_t> frame = devlink::buildFrame(m_generation, id, payload, response);
    if (frame.empty()) {
        _Log(LOG_WARNING, "EarbudSession::sendFrame", __LINE__, "0x%02X does not fit a frame", id);
        return;
    }
    if (!writeFrame(std::move(frame))) {
        m_open = false;
    }
}

bool EarbudSession::writeFrame(std::vector<uint8_t> frame) {
    if (m_device.takeCorruptNext()) {
        frame[frame.size() - 3] ^= 0xFF;  // the checksum's low byte
        m_transcript.note(m_device.address(), "next frame sent with a wrong checksum");
    }
    m_transcript.record(m_device.address(), Transcript::Direction::Sent, frame);
    if (m_device.takeSplitNext() && frame.size() > 1) {
        const std::size_t half = frame.size() / 2;
        m_transcript.note(m_device.address(), "frame split across two writes");
        if (m_link->send(frame.data(), half) < 0) {
            return false;
        }
        std::this_thread::sleep_for(kSplitPause);
        return m_link->send(frame.data() + half, frame.size() - half) >= 0;
    }
    return m_link->send(frame.data(), frame.size()) >= 0;
}

void EarbudSession::expectationFailed(const std::string& text) {
    m_device.expectationFailed(text);
}

}  // namespace sim
