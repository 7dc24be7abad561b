#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "link/FrameDecoder.h"
#include "platform/bluetooth/FdConnection.h"
#include "sim/FirmwareReceiver.h"
#include "sim/Generation.h"
#include "sim/SimConfig.h"

namespace sim {

class Transcript;
class VirtualEarbuds;

// One open link of a pair of virtual earbuds: everything the earbuds say and answer while a
// program is connected. It runs on the thread that accepted the connection; one poll loop
// handles the program's bytes, the earbuds' own timers (first report, acknowledgement waits,
// periodic reports, firmware transfer) and commands posted from other threads (CTL, demo).
//
// On connect the earbuds report 0x61 and wait for its acknowledgement, then report their
// versions with one 0xB4 per bud. They answer every 0x29 request with both serial numbers,
// report 0x60 whenever their state changes and wait for each acknowledgement (sending the report
// again when none comes), and run the firmware update when the program opens one.
class EarbudSession : private FirmwareReceiver::Sink {
public:
    enum class Command {
        StatusChanged,    // report 0x60
        VersionsChanged,  // report 0xB4 for both buds
        ReportStatus,     // report 0x60 now
        ReportExtended,   // report 0x61 now
        Emergency,        // send the emergency request 0xBA
        FirmwareResult,   // pick up a forced firmware result from the device
        Drop,             // end the link
    };

    EarbudSession(VirtualEarbuds& device, std::shared_ptr<platform::bluetooth::FdConnection> link,
                  FirmwareReceiver::Settings receiverSettings, const SimTiming& timing,
                  Transcript& transcript);
    ~EarbudSession() override;
    EarbudSession(const EarbudSession&) = delete;
    EarbudSession& operator=(const EarbudSession&) = delete;

    // Runs until the program closes the link or the link is dropped. The link itself is closed
    // by the caller, once the device has settled what follows (a restart).
    void run();
    // Thread-safe; wakes the loop.
    void post(Command command);

private:
    struct PendingAck {
        uint8_t reportedId = 0;  // 0x60, 0x61 or 0xBA
        uint64_t deadline = 0;
        int retriesLeft = 0;
    };

    void drainCommands(uint64_t now);
    void handleCommand(Command command, uint64_t now);
    void readFromLink(uint64_t now);
    void handleFrame(const devlink::DecodedFrame& frame, uint64_t now);
    bool checkLayout(const devlink::DecodedFrame& frame);
    void handleAcknowledgement(uint8_t reportedId, const devlink::DecodedFrame& frame,
                               bool wellFormed, uint64_t now);
    void handleReset(const devlink::DecodedFrame& frame);
    void runTimers(uint64_t now);
    void afterFirmwareStep(uint64_t now);
    int pollTimeout(uint64_t now) const;

    void sendStatus(uint8_t id, uint64_t now);
    void sendVersions();
    void sendEmergency(uint64_t now);
    void expectAck(uint8_t id, uint64_t now);
    bool speaking() const;
    bool duringTransfer() const;

    // FirmwareReceiver::Sink
    void sendFrame(uint8_t id, bool response, std::vector<uint8_t> payload) override;
    void expectationFailed(const std::string& text) override;
    bool writeFrame(std::vector<uint8_t> frame);

    VirtualEarbuds& m_device;
    std::shared_ptr<platform::bluetooth::FdConnection> m_link;
    const SimTiming& m_timing;
    Transcript& m_transcript;
    const Generation m_generation;
    devlink::FrameDecoder m_decoder;
    FirmwareReceiver m_receiver;
    int m_wakeFd = -1;

    std::mutex m_commandMutex;
    std::deque<Command> m_commands;

    bool m_open = true;
    bool m_stalled = false;
    std::optional<uint64_t> m_firstReportAt;
    bool m_versionsPending = false;  // 0xB4 follow once the first 0x61 is acknowledged
    std::vector<PendingAck> m_pendingAcks;
    uint64_t m_nextPeriodicReport = 0;
    std::optional<uint64_t> m_dropAt;
    bool m_outcomeTaken = false;
    std::size_t m_skippedSeen = 0;
};

}  // namespace sim
