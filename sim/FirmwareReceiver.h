#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "link/FrameDecoder.h"
#include "sim/Crc32.h"
#include "sim/Generation.h"

namespace sim {

// The earbuds' side of a firmware transfer, both generations, without any I/O: it takes the
// frames the program sent and the passing of time, and answers through a Sink. The earbuds drive
// the transfer: after the program's open they ask for an MTU, ask for every announced entry in
// turn, ask for its data (second generation) or acknowledge each fragment (first generation),
// report their progress in percent (with a second MTU request at 50 percent) and finally report
// whether the update succeeded. Everything received is checked; the first failed check ends the
// update with a failure reason.
class FirmwareReceiver {
public:
    // Failure reasons reported in the final state-changed message.
    static constexpr int kReasonSuccess = 0;
    static constexpr int kReasonBadOpen = 1;     // open message malformed or without entries
    static constexpr int kReasonEntryCrc = 2;    // an entry's CRC-32 differs from the announced one
    static constexpr int kReasonFileCrc = 3;     // the CRC-32 over all entries differs (2nd gen)
    static constexpr int kReasonProtocol = 4;    // unexpected message, layout, position or flag
    static constexpr int kReasonEntrySize = 5;   // an announced entry size out of range
    static constexpr int kReasonTimeout = 6;     // the program stopped answering
    static constexpr int kReasonWrongModel = 7;  // the package is for the other model

    // Message ids of the transfer.
    static constexpr uint8_t kSession = 0xB0;       // first generation open / state report
    static constexpr uint8_t kControl = 0xB1;       // first generation MTU and entry requests
    static constexpr uint8_t kDownloadData = 0xB2;  // first generation data / acknowledgement
    static constexpr uint8_t kUpdate = 0xB3;        // first generation percent and result
    static constexpr uint8_t kOpen2 = 0xBB;         // second generation open / answer
    static constexpr uint8_t kControl2 = 0xBC;
    static constexpr uint8_t kData2 = 0xBD;
    static constexpr uint8_t kUpdate2 = 0xBE;
    static constexpr uint8_t kUpdateResponse = 0x51;  // first generation acknowledgement carrier

    struct Settings {
        Generation generation = Generation::Second;
        std::string modelCode;  // the model the earbuds accept packages for
        int mtu = 512;
        int secondMtu = 512;
        int packetsPerRequest = 4;
        int timeoutMs = 15000;
        int installMs = 0;
        bool checkFileCrc = true;  // second generation: compare the announced file CRC-32
    };

    class Sink {
    public:
        virtual ~Sink() = default;
        virtual void sendFrame(uint8_t id, bool response, std::vector<uint8_t> payload) = 0;
        // A check that failed: what was expected and what arrived instead.
        virtual void expectationFailed(const std::string& text) = 0;
    };

    struct Outcome {
        int state = 0;
        int reason = 0;
        std::string newVersion;     // from the package's descriptor entry, empty when none
        bool acknowledged = false;  // the program acknowledged a successful result
        bool success() const { return state == 0 && reason == 0; }
    };

    FirmwareReceiver(Settings settings, Sink& sink);

    // Settings for the next open message (a running update keeps its own).
    void setSettings(const Settings& settings);
    static bool isOpenMessage(const devlink::DecodedFrame& frame, Generation generation);

    // True for the frames this object handles on the given generation's link.
    static bool isTransferMessage(const devlink::DecodedFrame& frame, Generation generation);

    void onFrame(const devlink::DecodedFrame& frame, uint64_t now);
    // A transfer frame whose checksum failed: the data is lost, so the update fails.
    void onCorruptFrame(const devlink::DecodedFrame& frame, uint64_t now);
    void onTimer(uint64_t now);
    std::optional<uint64_t> deadline() const;

    // Between the open message and the end of the update.
    bool active() const;
    // The final report went out (and a success was acknowledged or given up on).
    bool finished() const { return m_phase == Phase::Done; }
    const std::optional<Outcome>& outcome() const { return m_outcome; }
    int percent() const { return m_lastPercent < 0 ? 0 : m_lastPercent; }
    uint64_t bytesReceived() const { return m_receivedBytes; }

    // The next update ends with this state and reason instead of the verified result.
    void forceResult(int state, int reason);
    // Sends a state-changed report with this state and reason at once.
    void reportNow(int state, int reason, uint64_t now);

private:
    enum class Phase {
        Idle,
        AwaitMtuAnswer,
        AwaitEntryAnswer,
        AwaitData,
        Installing,
        AwaitFinalAck,
        Done
    };
    enum class Resume { FirstEntry, Advance };

    struct Entry {
        uint8_t id = 0;
        uint32_t size = 0;
        uint32_t crc = 0;
    };

    void handleOpen(const devlink::DecodedFrame& frame, uint64_t now);
    bool parseOpen(const devlink::DecodedFrame& frame);
    void startFileCrc();
    void handleMtuAnswer(const devlink::DecodedFrame& frame, uint64_t now);
    void handleEntryAnswer(const devlink::DecodedFrame& frame, uint64_t now);
    void handleData(const devlink::DecodedFrame& frame, uint64_t now);
    bool checkDataFrame(const devlink::DecodedFrame& frame);
    void handleFinalAck(const devlink::DecodedFrame& frame);

    void requestMtu(int mtu, uint64_t now);
    void requestEntry(uint64_t now);
    void requestData(uint64_t now);
    bool reportProgress(uint64_t now);
    void advance(uint64_t now);
    void finishEntry(uint64_t now);
    void allReceived(uint64_t now);
    void sendFinal(int state, int reason, uint64_t now);
    void fail(int reason, const std::string& expected, const devlink::DecodedFrame* got,
              uint64_t now);
    void await(Phase phase, std::string expecting, uint64_t now);
    std::string parseDescriptorVersion(std::string* model) const;

    uint8_t controlId() const;
    uint8_t updateId() const;
    bool second() const { return m_settings.generation == Generation::Second; }

    Settings m_settings;
    std::optional<Settings> m_pendingSettings;
    Sink& m_sink;

    Phase m_phase = Phase::Idle;
    Resume m_resume = Resume::FirstEntry;
    std::string m_expecting;
    uint64_t m_deadline = 0;

    std::vector<Entry> m_entries;
    uint32_t m_announcedFileCrc = 0;
    std::size_t m_entryIndex = 0;
    uint32_t m_position = 0;      // next position expected inside the current entry
    uint32_t m_lastFragment = 0;  // position of the last fragment received (first generation)
    int m_outstanding = 0;        // packets still due for the last data request
    int m_fragmentSize = 0;
    Crc32 m_entryCrc;
    Crc32 m_fileCrc;
    uint64_t m_totalBytes = 0;
    uint64_t m_receivedBytes = 0;
    int m_lastPercent = -1;
    bool m_midMtuDone = false;
    std::vector<uint8_t> m_descriptor;  // the first bytes of the entry holding a descriptor
    std::vector<uint8_t> m_entryHead;   // the first bytes of the entry being received

    std::optional<std::pair<int, int>> m_forced;
    std::optional<Outcome> m_outcome;
    std::string m_newVersion;
};

}  // namespace sim
