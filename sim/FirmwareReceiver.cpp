#include "sim/FirmwareReceiver.h"

#include <algorithm>
#include <cstdio>
#include <span>

#include "base/Log.h"
#include "fota/PackageFormat.h"
#include "sim/Crc32.h"
#include "sim/FirmwareDescriptor.h"
#include "sim/FrameText.h"

namespace sim {
namespace {

constexpr uint8_t kSubMtu = 0x00;
constexpr uint8_t kSubEntry = 0x01;
constexpr uint8_t kReportPercent = 0x00;
constexpr uint8_t kReportStateChanged = 0x01;
constexpr uint8_t kMoreFollows = 0x80;
constexpr uint32_t kMaxEntrySize = 1u << 24;  // a position travels in three bytes
constexpr std::size_t kDescriptorHead = 256;
constexpr uint8_t kStateOpened = 2;  // session state in the first generation's open answer

uint32_t le32(const std::vector<uint8_t>& bytes, std::size_t at) {
    return static_cast<uint32_t>(bytes[at]) | static_cast<uint32_t>(bytes[at + 1]) << 8 |
           static_cast<uint32_t>(bytes[at + 2]) << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
}

std::string format(const char* pattern, auto... values) {
    char text[256];
    std::snprintf(text, sizeof(text), pattern, values...);
    return text;
}

}  // namespace

FirmwareReceiver::FirmwareReceiver(Settings settings, Sink& sink)
    : m_settings(std::move(settings)), m_sink(sink) {}

bool FirmwareReceiver::isTransferMessage(const devlink::DecodedFrame& frame,
                                         Generation generation) {
    if (generation == Generation::Second) {
        return frame.messageId >= kOpen2 && frame.messageId <= kUpdate2;
    }
    if (frame.messageId >= kSession && frame.messageId <= kUpdate) {
        return true;
    }
    // The first generation acknowledges the final report with 0x51 carrying 0xB3.
    return frame.messageId == kUpdateResponse && !frame.payload.empty() &&
           frame.payload[0] == kUpdate;
}

void FirmwareReceiver::setSettings(const Settings& settings) {
    m_pendingSettings = settings;
}

bool FirmwareReceiver::isOpenMessage(const devlink::DecodedFrame& frame, Generation generation) {
    return !frame.response &&
           frame.messageId == (generation == Generation::Second ? kOpen2 : kSession);
}

bool FirmwareReceiver::active() const {
    return m_phase != Phase::Idle && m_phase != Phase::Done;
}

std::optional<uint64_t> FirmwareReceiver::deadline() const {
    if (!active()) {
        return std::nullopt;
    }
    return m_deadline;
}

uint8_t FirmwareReceiver::controlId() const {
    return second() ? kControl2 : kControl;
}

uint8_t FirmwareReceiver::updateId() const {
    return second() ? kUpdate2 : kUpdate;
}

void FirmwareReceiver::await(Phase phase, std::string expecting, uint64_t now) {
    m_phase = phase;
    m_expecting = std::move(expecting);
    m_deadline = now + static_cast<uint64_t>(m_settings.timeoutMs);
}

void FirmwareReceiver::onFrame(const devlink::DecodedFrame& frame, uint64_t now) {
    if (isOpenMessage(frame, m_settings.generation)) {
        if (m_pendingSettings) {
            m_settings = *m_pendingSettings;
            m_pendingSettings.reset();
        }
        handleOpen(frame, now);
        return;
    }
    switch (m_phase) {
        case Phase::AwaitMtuAnswer:
            handleMtuAnswer(frame, now);
            return;
        case Phase::AwaitEntryAnswer:
            handleEntryAnswer(frame, now);
            return;
        case Phase::AwaitData:
            handleData(frame, now);
            return;
        case Phase::AwaitFinalAck:
            handleFinalAck(frame);
            return;
        case Phase::Idle:
        case Phase::Installing:
        case Phase::Done:
            m_sink.expectationFailed("expected no firmware message " +
                                     std::string(m_phase == Phase::Installing
                                                     ? "while installing"
                                                     : "outside a session") +
                                     ", got " + describeFrame(frame));
            return;
    }
}

void FirmwareReceiver::onCorruptFrame(const devlink::DecodedFrame& frame, uint64_t now) {
    if (active() && m_phase != Phase::Installing && m_phase != Phase::AwaitFinalAck) {
        fail(kReasonProtocol, m_expecting + " with a good checksum", &frame, now);
    }
}

void FirmwareReceiver::onTimer(uint64_t now) {
    if (!active() || now < m_deadline) {
        return;
    }
    if (m_phase == Phase::Installing) {
        if (m_forced) {
            const auto [state, reason] = *m_forced;
            m_forced.reset();
            sendFinal(state, reason, now);
        } else {
            sendFinal(0, kReasonSuccess, now);
        }
        return;
    }
    const std::string text =
        format("expected %s within %d ms, got nothing", m_expecting.c_str(), m_settings.timeoutMs);
    if (m_phase == Phase::AwaitFinalAck) {
        m_sink.expectationFailed(text);
        m_phase = Phase::Done;
        return;
    }
    m_sink.expectationFailed(text);
    sendFinal(0, kReasonTimeout, now);
}

void FirmwareReceiver::forceResult(int state, int reason) {
    m_forced = std::make_pair(state, reason);
}

void FirmwareReceiver::reportNow(int state, int reason, uint64_t now) {
    sendFinal(state, reason, now);
}

// --- open -----------------------------------------------------------------------------------

void FirmwareReceiver::handleOpen(const devlink::DecodedFrame& frame, uint64_t now) {
    if (active()) {
        m_sink.expectationFailed("expected " + m_expecting +
                                 ", got a new open message; the running update is abandoned");
    }
    m_entries.clear();
    m_entryIndex = 0;
    m_position = 0;
    m_outstanding = 0;
    m_fragmentSize = 0;
    m_fileCrc.reset();
    m_entryCrc.reset();
    m_totalBytes = 0;
    m_receivedBytes = 0;
    m_lastPercent = -1;
    m_midMtuDone = false;
    m_descriptor.clear();
    m_outcome.reset();
    m_newVersion.clear();

    if (!parseOpen(frame)) {
        if (second()) {
            m_sink.sendFrame(kOpen2, false, {kReasonBadOpen});
        } else {
            m_sink.sendFrame(kSession, true, {0, kReasonBadOpen});
        }
        sendFinal(0, kReasonBadOpen, now);
        return;
    }
    startFileCrc();
    _Log(LOG_INFO, "FirmwareReceiver::handleOpen", __LINE__,
         "update opened: %zu entries, %llu bytes, file crc %08x", m_entries.size(),
         static_cast<unsigned long long>(m_totalBytes), m_announcedFileCrc);
    if (second()) {
        m_sink.sendFrame(kOpen2, false, {0});
    } else {
        m_sink.sendFrame(kSession, true, {kStateOpened, 0});
    }
    m_resume = Resume::FirstEntry;
    requestMtu(m_settings.mtu, now);
}

bool FirmwareReceiver::parseOpen(const devlink::DecodedFrame& frame) {
    const std::vector<uint8_t>& p = frame.payload;
    std::size_t at = 0;
    if (second()) {
        if (p.size() < 5) {
            m_sink.expectationFailed(
                "expected an open message with the file CRC and an entry "
                "count, got " +
                describeFrame(frame));
            return false;
        }
        m_announcedFileCrc = le32(p, 0);
        at = 4;
    } else if (p.empty()) {
        m_sink.expectationFailed("expected an open message with an entry count, got " +
                                 describeFrame(frame));
        return false;
    }
    const std::size_t count = p[at++];
    if (count == 0) {
        m_sink.expectationFailed("expected an open message announcing at least one entry, got " +
                                 describeFrame(frame));
        return false;
    }
    if (p.size() != at + 9 * count) {
        m_sink.expectationFailed(format("expected an open message of %zu payload bytes for %zu "
                                        "entries, got ",
                                        at + 9 * count, count) +
                                 describeFrame(frame));
        return false;
    }
    for (std::size_t i = 0; i < count; ++i, at += 9) {
        Entry entry;
        entry.id = p[at];
        entry.size = le32(p, at + 1);
        entry.crc = le32(p, at + 5);
        if (entry.size == 0 || entry.size >= kMaxEntrySize) {
            m_sink.expectationFailed(format("expected entry %u to announce a size of 1 to %u "
                                            "bytes, got %u in ",
                                            entry.id, kMaxEntrySize - 1, entry.size) +
                                     describeFrame(frame));
            return false;
        }
        m_totalBytes += entry.size;
        m_entries.push_back(entry);
    }
    return true;
}

// The file check value covers every byte of the package before it, but the earbuds receive only
// the entries. They rebuild the rest as a package in its canonical layout has it: the header
// (totalSize = the file's length), the table with the contents back to back in table order, and
// then run the CRC on over the contents as they arrive.
void FirmwareReceiver::startFileCrc() {
    const std::size_t tableEnd = fota::kHeaderSize + fota::kEntryRecordSize * m_entries.size();
    std::vector<uint8_t> prefix(tableEnd);
    fota::PackageHeader header;
    header.magicNumber = fota::kMagicNumber;
    header.totalSize = static_cast<uint32_t>(tableEnd + m_totalBytes + fota::kFileCrcSize);
    header.entryCount = static_cast<uint32_t>(m_entries.size());
    fota::encodeHeader(header, prefix.data());
    auto offset = static_cast<uint32_t>(tableEnd);
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        fota::EntryRecord record;
        record.id = m_entries[i].id;
        record.crc = m_entries[i].crc;
        record.offset = offset;
        record.size = m_entries[i].size;
        fota::encodeEntry(record, prefix.data() + fota::kHeaderSize + fota::kEntryRecordSize * i);
        offset += m_entries[i].size;
    }
    m_fileCrc.reset();
    m_fileCrc.update(prefix);
}

// --- requests and answers -------------------------------------------------------------------

void FirmwareReceiver::requestMtu(int mtu, uint64_t now) {
    const auto value = static_cast<uint16_t>(mtu);
    m_sink.sendFrame(
        controlId(), false,
        {kSubMtu, static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>(value >> 8)});
    await(Phase::AwaitMtuAnswer,
          format("the answer to the MTU request (0x%02X sub-id 0)", controlId()), now);
}

void FirmwareReceiver::handleMtuAnswer(const devlink::DecodedFrame& frame, uint64_t now) {
    const std::vector<uint8_t>& p = frame.payload;
    if (second()) {
        if (frame.messageId != kControl2 || !frame.response || p.size() != 3 || p[0] != kSubMtu) {
            fail(kReasonProtocol, "an MTU answer 0xBC response 00 <MTU, 2 bytes>", &frame, now);
            return;
        }
        const int offered = p[1] | p[2] << 8;
        if (offered == 0) {
            fail(kReasonProtocol, "an MTU answer offering more than 0 bytes", &frame, now);
            return;
        }
        m_fragmentSize = offered;
    } else {
        if (frame.messageId != kControl || !frame.response || p.size() != 2 || p[0] != kSubMtu ||
            p[1] != 0) {
            fail(kReasonProtocol, "an MTU answer 0xB1 response 00 00", &frame, now);
            return;
        }
        m_fragmentSize = m_midMtuDone ? m_settings.secondMtu : m_settings.mtu;
        if (m_fragmentSize <= 0) {
            // Fragments of 0 bytes would never advance: a program must not take this MTU.
            fail(kReasonProtocol, "no answer to an MTU request of 0", &frame, now);
            return;
        }
    }
    if (m_resume == Resume::FirstEntry) {
        requestEntry(now);
    } else {
        advance(now);
    }
}

void FirmwareReceiver::requestEntry(uint64_t now) {
    const Entry& entry = m_entries[m_entryIndex];
    m_position = 0;
    m_lastFragment = 0;
    m_entryHead.clear();
    m_sink.sendFrame(controlId(), false, {kSubEntry, entry.id});
    if (second()) {
        await(Phase::AwaitEntryAnswer,
              format("the ready-download answer for entry %u (0xBC response 01 %02X 00)", entry.id,
                     entry.id),
              now);
    } else {
        await(Phase::AwaitData, format("data of entry %u at position 0", entry.id), now);
    }
}

void FirmwareReceiver::handleEntryAnswer(const devlink::DecodedFrame& frame, uint64_t now) {
    const Entry& entry = m_entries[m_entryIndex];
    const std::vector<uint8_t>& p = frame.payload;
    if (frame.messageId != kControl2 || !frame.response || p.size() != 3 || p[0] != kSubEntry ||
        p[1] != entry.id || p[2] != 0) {
        fail(kReasonProtocol, m_expecting, &frame, now);
        return;
    }
    requestData(now);
}

void FirmwareReceiver::requestData(uint64_t now) {
    const Entry& entry = m_entries[m_entryIndex];
    const int count = std::clamp(m_settings.packetsPerRequest, 1, 127);
    const uint32_t remaining = entry.size - m_position;
    const auto fragment = static_cast<uint32_t>(m_fragmentSize);
    const auto due = static_cast<int>((remaining + fragment - 1) / fragment);
    m_outstanding = std::min(count, due);
    m_sink.sendFrame(
        kData2, false,
        {static_cast<uint8_t>(m_position & 0xFF), static_cast<uint8_t>((m_position >> 8) & 0xFF),
         static_cast<uint8_t>((m_position >> 16) & 0xFF), static_cast<uint8_t>(count)});
    await(Phase::AwaitData,
          format("%d data packet(s) of entry %u from position %u", m_outstanding, entry.id,
                 m_position),
          now);
}

// --- data -----------------------------------------------------------------------------------

bool FirmwareReceiver::checkDataFrame(const devlink::DecodedFrame& frame) {
    if (second()) {
        // Second generation data: response flag and data flag in the header (0x30).
        return frame.messageId == kData2 && frame.response && frame.dataFlag &&
               frame.header == Generation::Second && frame.payload.size() >= 4;
    }
    // First generation data: a request with flag bit 1, long form exactly when the body needs it.
    return frame.messageId == kDownloadData && !frame.response && frame.dataFlag &&
           frame.header == Generation::First &&
           frame.longForm == (frame.payload.size() + 3 > 255) && frame.payload.size() >= 4;
}

void FirmwareReceiver::handleData(const devlink::DecodedFrame& frame, uint64_t now) {
    const Entry& entry = m_entries[m_entryIndex];
    if (!checkDataFrame(frame)) {
        fail(kReasonProtocol,
             second() ? m_expecting + " as 0xBD responses flagged 0x30"
                      : m_expecting + " as a 0xB2 request flagged 0x02 (0x12 when long)",
             &frame, now);
        return;
    }
    const std::vector<uint8_t>& p = frame.payload;
    const uint32_t position = p[0] | p[1] << 8 | p[2] << 16;
    const uint8_t marker = p[3];
    const auto length = static_cast<uint32_t>(p.size() - 4);
    const uint32_t expectedLength =
        std::min<uint32_t>(static_cast<uint32_t>(m_fragmentSize), entry.size - m_position);
    const bool last = m_position + expectedLength >= entry.size;
    const uint8_t expectedMarker = last ? 0x00 : kMoreFollows;
    if (position != m_position || length != expectedLength || marker != expectedMarker) {
        fail(kReasonProtocol,
             format("data of entry %u at position %u with %u bytes flagged 0x%02X", entry.id,
                    m_position, expectedLength, expectedMarker),
             &frame, now);
        return;
    }
    const std::span<const uint8_t> data(p.data() + 4, length);
    m_entryCrc.update(data);
    m_fileCrc.update(data);
    if (m_entryHead.size() < kDescriptorHead) {
        const std::size_t take =
            std::min<std::size_t>(kDescriptorHead - m_entryHead.size(), length);
        m_entryHead.insert(m_entryHead.end(), data.begin(), data.begin() + take);
    }
    m_lastFragment = m_position;
    m_position += length;
    m_receivedBytes += length;
    if (second()) {
        --m_outstanding;
        if (m_position < entry.size && m_outstanding > 0) {
            await(Phase::AwaitData,
                  format("%d more data packet(s) of entry %u from position %u", m_outstanding,
                         entry.id, m_position),
                  now);
            return;
        }
    }
    m_resume = Resume::Advance;
    if (!reportProgress(now)) {
        advance(now);
    }
}

// Reports the percentage when it changed. Crossing 50 percent reports exactly 50 and asks for
// the MTU again; the transfer then goes on once the program has answered (true is returned).
bool FirmwareReceiver::reportProgress(uint64_t now) {
    const int percent =
        m_totalBytes == 0 ? 100 : static_cast<int>(m_receivedBytes * 100 / m_totalBytes);
    if (percent == m_lastPercent) {
        return false;
    }
    if (!m_midMtuDone && m_lastPercent < 50 && percent >= 50) {
        m_lastPercent = 50;
        m_midMtuDone = true;
        m_sink.sendFrame(updateId(), false, {kReportPercent, 50});
        requestMtu(m_settings.secondMtu, now);
        return true;
    }
    m_lastPercent = percent;
    m_sink.sendFrame(updateId(), false, {kReportPercent, static_cast<uint8_t>(percent)});
    return false;
}

// Goes on after a fragment (first generation) or a finished batch (second generation).
void FirmwareReceiver::advance(uint64_t now) {
    const Entry& entry = m_entries[m_entryIndex];
    if (!second()) {
        const uint32_t at = m_lastFragment;
        m_sink.sendFrame(
            kDownloadData, true,
            {static_cast<uint8_t>(at & 0xFF), static_cast<uint8_t>((at >> 8) & 0xFF),
             static_cast<uint8_t>((at >> 16) & 0xFF), static_cast<uint8_t>((at >> 24) & 0xFF)});
    }
    if (m_position >= entry.size) {
        finishEntry(now);
    } else if (second()) {
        requestData(now);
    } else {
        await(Phase::AwaitData, format("data of entry %u at position %u", entry.id, m_position),
              now);
    }
}

void FirmwareReceiver::finishEntry(uint64_t now) {
    const Entry& entry = m_entries[m_entryIndex];
    if (m_entryCrc.value() != entry.crc) {
        fail(kReasonEntryCrc,
             format("entry %u to have the announced CRC-32 %08X, computed %08X", entry.id,
                    entry.crc, m_entryCrc.value()),
             nullptr, now);
        return;
    }
    if (m_descriptor.empty() && FirmwareDescriptor::parse(m_entryHead)) {
        m_descriptor = m_entryHead;
    }
    m_entryCrc.reset();
    if (++m_entryIndex < m_entries.size()) {
        requestEntry(now);
    } else {
        allReceived(now);
    }
}

void FirmwareReceiver::allReceived(uint64_t now) {
    if (second() && m_settings.checkFileCrc && m_fileCrc.value() != m_announcedFileCrc) {
        fail(kReasonFileCrc,
             format("the package to have the announced file CRC-32 %08X, computed %08X over the "
                    "entries in the canonical layout",
                    m_announcedFileCrc, m_fileCrc.value()),
             nullptr, now);
        return;
    }
    std::string model;
    m_newVersion = parseDescriptorVersion(&model);
    if (!model.empty() && model != m_settings.modelCode) {
        fail(kReasonWrongModel, "a package for " + m_settings.modelCode + ", got one for " + model,
             nullptr, now);
        return;
    }
    if (m_lastPercent < 100) {
        m_lastPercent = 100;
        m_sink.sendFrame(updateId(), false, {kReportPercent, 100});
    }
    _Log(LOG_INFO, "FirmwareReceiver::allReceived", __LINE__,
         "all %zu entries received and verified; installing", m_entries.size());
    m_phase = Phase::Installing;
    m_expecting = "nothing while installing";
    m_deadline = now + static_cast<uint64_t>(std::max(0, m_settings.installMs));
}

std::string FirmwareReceiver::parseDescriptorVersion(std::string* model) const {
    if (const auto descriptor = FirmwareDescriptor::parse(m_descriptor)) {
        *model = descriptor->model;
        return descriptor->version;
    }
    return {};
}

// --- the end --------------------------------------------------------------------------------

void FirmwareReceiver::sendFinal(int state, int reason, uint64_t now) {
    m_sink.sendFrame(
        updateId(), false,
        {kReportStateChanged, static_cast<uint8_t>(state), static_cast<uint8_t>(reason)});
    Outcome outcome;
    outcome.state = state;
    outcome.reason = reason;
    outcome.newVersion = outcome.success() ? m_newVersion : std::string();
    m_outcome = outcome;
    _Log(LOG_INFO, "FirmwareReceiver::sendFinal", __LINE__, "update ends: state %d reason %d",
         state, reason);
    if (outcome.success()) {
        await(Phase::AwaitFinalAck,
              second() ? "the acknowledgement of the result (0xBE response 01)"
                       : "the acknowledgement of the result (0x51 response B3 00)",
              now);
    } else {
        m_phase = Phase::Done;
    }
}

void FirmwareReceiver::handleFinalAck(const devlink::DecodedFrame& frame) {
    const std::vector<uint8_t>& p = frame.payload;
    const bool good = second() ? frame.messageId == kUpdate2 && frame.response && p.size() == 1 &&
                                     p[0] == kReportStateChanged
                               : frame.messageId == kUpdateResponse && frame.response &&
                                     p.size() == 2 && p[0] == kUpdate && p[1] == 0;
    if (!good) {
        m_sink.expectationFailed("expected " + m_expecting + ", got " + describeFrame(frame));
        return;
    }
    m_outcome->acknowledged = true;
    m_phase = Phase::Done;
}

void FirmwareReceiver::fail(int reason, const std::string& expected,
                            const devlink::DecodedFrame* got, uint64_t now) {
    m_sink.expectationFailed("expected " + expected +
                             (got != nullptr ? ", got " + describeFrame(*got) : std::string()));
    m_forced.reset();
    sendFinal(0, reason, now);
}

}  // namespace sim
