#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "fota/PackageFormat.h"
#include "tests/sim/SimTestClient.h"

namespace simtest {

// The program's side of a firmware transfer, scripted after the device link's rules: it opens
// the session with the package's entry table, answers the MTU requests (a second-generation link
// offers 650; a repeated request is answered only after a 50 percent report), answers entry
// requests, sends the data the earbuds ask for (first generation: the next fragment per
// acknowledgement; second generation: the requested packets), acknowledges status reports and a
// successful result, and sends the reset request after a failure other than reason 14.
class ScriptedProgram {
public:
    struct Result {
        bool finished = false;  // a state-changed report arrived
        int state = -1;
        int reason = -1;
        std::vector<int> percents;
        int mtuRequests = 0;
        int mtuAnswers = 0;
        std::vector<int> entryRequests;
        std::size_t dataMessages = 0;
        std::size_t longFormMessages = 0;
        std::size_t bytesSent = 0;
    };

    // Changes a data message's payload (position and data) before it is sent: tests break the
    // transfer on purpose with it.
    using DataTamper = std::function<void(std::vector<uint8_t>& payload, int index)>;

    ScriptedProgram(LinkClient& link, std::vector<uint8_t> package);

    void setDataTamper(DataTamper tamper) { m_tamper = std::move(tamper); }
    // Replaces the file check value announced in the second generation's open message.
    void announceFileCrc(uint32_t crc) { m_fileCrcOverride = crc; }

    bool open();
    // Serves the earbuds until they report the result (or nothing arrives for timeoutMs).
    Result run(int timeoutMs = 5000);

private:
    void onControl(const std::vector<uint8_t>& payload);
    void sendFirstGenerationData(uint32_t position);
    void sendSecondGenerationData(uint32_t position, int count);
    void onUpdateReport(const std::vector<uint8_t>& payload);

    LinkClient& m_link;
    std::vector<uint8_t> m_package;
    std::vector<fota::EntryRecord> m_entries;
    uint32_t m_fileCrc = 0;
    std::optional<uint32_t> m_fileCrcOverride;
    DataTamper m_tamper;

    bool m_mtuAnswered = false;
    int m_fragment = 0;
    const fota::EntryRecord* m_entry = nullptr;
    bool m_lastSent = false;
    Result m_result;
};

}  // namespace simtest
