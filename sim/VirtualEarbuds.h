#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/EarbudSession.h"
#include "sim/FirmwareReceiver.h"
#include "sim/Generation.h"
#include "sim/SimConfig.h"

namespace sim {

class Transcript;

// One pair of virtual earbuds: identity (address, name, generation from the name), whether they
// are paired and in range, the state they report, the faults asked for through CTL, and at most
// one open link at a time. Every operation is safe from any thread; the link itself runs on the
// thread that calls runLink.
class VirtualEarbuds {
public:
    struct ForcedResult {
        int state = 0;
        int reason = 0;
        bool now = false;
    };

    VirtualEarbuds(EarbudSettings settings, const SimTiming& timing, Transcript& transcript,
                   bool echoFailures = false);
    ~VirtualEarbuds();
    VirtualEarbuds(const VirtualEarbuds&) = delete;
    VirtualEarbuds& operator=(const VirtualEarbuds&) = delete;

    uint64_t address() const { return m_address; }
    const std::string& name() const { return m_name; }
    Generation generation() const { return m_generation; }
    // "Auralis+ (4F2A) [70:5A:B6:01:4F:2A]", for log lines.
    const std::string& label() const { return m_label; }

    // In range and not restarting: visible to SCAN, reachable by PAIR and CONNECT.
    bool available() const;
    bool restarting() const;
    void setInRange(bool inRange);
    bool paired() const;
    void setPaired(bool paired);
    bool connected() const;
    bool transferActive() const;

    EarbudState state() const;
    // Applies "key=value" changes (see kSettableKeys); connected earbuds report them. Returns an
    // error text, or empty when everything was applied. Nothing is applied when one pair is bad.
    std::string applyChanges(const std::vector<std::pair<std::string, std::string>>& changes);
    static const char* const kSettableKeys;

    // Runs a link on the calling thread until it ends. False (and nothing runs) when a link is
    // open already. accepted runs once the link is claimed, before the earbuds say anything (the
    // neighbourhood answers OK there); when it returns false the link is given up.
    bool runLink(std::shared_ptr<platform::bluetooth::FdConnection> link,
                 const std::function<bool()>& accepted);
    void dropLink();

    // Faults.
    void setSilent(bool silent) { m_silent = silent; }
    bool silent() const { return m_silent; }
    void corruptNextFrame() { m_corruptNext = true; }
    bool takeCorruptNext() { return m_corruptNext.exchange(false); }
    void splitNextFrame() { m_splitNext = true; }
    bool takeSplitNext() { return m_splitNext.exchange(false); }
    void stallTransferAt(std::optional<int> percent);
    std::optional<int> stallPercent() const;
    void forceFirmwareResult(ForcedResult result);
    std::optional<ForcedResult> takeForcedResult();
    // Posts a command to the open link; false when none is open.
    bool post(EarbudSession::Command command);

    // Called by the link.
    FirmwareReceiver::Settings receiverSettings() const;
    void expectationFailed(const std::string& text);
    void noteAcknowledged(uint8_t reportedId);
    void noteTransfer(bool active, int percent);
    void firmwareFinished(const FirmwareReceiver::Outcome& outcome);
    void resetRequested();

    // Everything above as JSON, for CTL INFO.
    nlohmann::json info() const;
    int expectationFailures() const;

private:
    void beginRestart(const std::string& newVersion);
    std::string applyOne(EarbudSettings& settings, const std::string& key, const std::string& value,
                         bool& versionsChanged) const;

    const uint64_t m_address;
    const std::string m_name;
    const Generation m_generation;
    const std::string m_label;
    const SimTiming& m_timing;
    Transcript& m_transcript;
    const bool m_echoFailures;

    mutable std::mutex m_mutex;
    // Signalled when a link's session ends.
    std::condition_variable m_sessionEnded;
    EarbudSettings m_settings;
    bool m_inRange = true;
    bool m_paired = false;
    uint64_t m_restartUntil = 0;
    EarbudSession* m_session = nullptr;
    std::optional<int> m_stallPercent;
    std::optional<ForcedResult> m_forced;
    std::optional<FirmwareReceiver::Outcome> m_lastOutcome;
    bool m_restartAfterLink = false;
    std::string m_versionAfterRestart;
    bool m_transferActive = false;
    int m_transferPercent = 0;
    int m_updates = 0;
    int m_resets = 0;
    int m_links = 0;
    int m_acknowledgements = 0;
    int m_failures = 0;
    std::vector<std::string> m_recentFailures;

    std::atomic<bool> m_silent{false};
    std::atomic<bool> m_corruptNext{false};
    std::atomic<bool> m_splitNext{false};
};

}  // namespace sim
