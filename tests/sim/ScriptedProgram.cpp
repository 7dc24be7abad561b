#include "tests/sim/ScriptedProgram.h"

#include <algorithm>

#include "link/MessageIds.h"

namespace simtest {
namespace {

using devlink::Generation;

void appendLE32(std::vector<uint8_t>& bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

}  // namespace

ScriptedProgram::ScriptedProgram(LinkClient& link, std::vector<uint8_t> package)
    : m_link(link), m_package(std::move(package)) {
    if (m_package.size() >= fota::kHeaderSize + fota::kFileCrcSize) {
        const fota::PackageHeader header = fota::decodeHeader(m_package.data());
        for (uint32_t i = 0; i < header.entryCount; ++i) {
            const std::size_t at = fota::kHeaderSize + fota::kEntryRecordSize * i;
            if (at + fota::kEntryRecordSize > m_package.size()) {
                break;
            }
            m_entries.push_back(fota::decodeEntry(m_package.data() + at));
        }
        m_fileCrc = fota::readLE32(m_package.data() + m_package.size() - fota::kFileCrcSize);
    }
}

bool ScriptedProgram::open() {
    std::vector<uint8_t> payload;
    const bool second = m_link.generation() == Generation::Second;
    if (second) {
        appendLE32(payload, m_fileCrcOverride.value_or(m_fileCrc));
    }
    payload.push_back(static_cast<uint8_t>(m_entries.size()));
    for (const fota::EntryRecord& entry : m_entries) {
        payload.push_back(static_cast<uint8_t>(entry.id));
        appendLE32(payload, entry.size);
        appendLE32(payload, entry.crc);
    }
    return m_link.sendFrame(second ? MSG_ID_FOTA2_OPEN : MSG_ID_FOTA_SESSION, payload, false);
}

ScriptedProgram::Result ScriptedProgram::run(int timeoutMs) {
    const bool second = m_link.generation() == Generation::Second;
    while (!m_result.finished) {
        const auto frame = m_link.next(timeoutMs);
        if (!frame) {
            break;
        }
        const std::vector<uint8_t>& p = frame->payload;
        switch (frame->messageId) {
            case MSG_ID_FOTA_CONTROL:
            case MSG_ID_FOTA2_CONTROL:
                if (!frame->response) {
                    onControl(p);
                }
                break;
            case MSG_ID_FOTA_DOWNLOAD_DATA:
                // An acknowledgement of the fragment at the position it names.
                if (frame->response && p.size() >= 4 && !m_lastSent) {
                    const uint32_t acknowledged = fota::readLE32(p.data());
                    sendFirstGenerationData(acknowledged + static_cast<uint32_t>(m_fragment));
                }
                break;
            case MSG_ID_FOTA2_DATA:
                if (!frame->response && p.size() >= 2) {
                    const uint32_t position = p[0] | p[1] << 8 | p[2] << 16;
                    sendSecondGenerationData(position, static_cast<int8_t>(p.back()));
                }
                break;
            case MSG_ID_FOTA_UPDATE:
            case MSG_ID_FOTA2_UPDATE:
                if (!frame->response) {
                    onUpdateReport(p);
                }
                break;
            case MSG_ID_STATUS_UPDATED:
            case MSG_ID_EXTENDED_STATUS_UPDATED:
                if (!frame->response) {
                    if (second) {
                        m_link.sendFrame(frame->messageId, {0x00}, true);
                    } else {
                        m_link.sendFrame(MSG_ID_UPDATE_RESPONSE, {frame->messageId, 0x00}, true);
                    }
                }
                break;
            default:
                break;
        }
    }
    return m_result;
}

void ScriptedProgram::onControl(const std::vector<uint8_t>& p) {
    const bool second = m_link.generation() == Generation::Second;
    if (p.empty()) {
        return;
    }
    if (p[0] == 0 && p.size() >= 3) {
        ++m_result.mtuRequests;
        m_fragment = p[1] | p[2] << 8;
        if (!m_mtuAnswered) {
            m_mtuAnswered = true;
            ++m_result.mtuAnswers;
            if (second) {
                m_fragment = 650;
                m_link.sendFrame(MSG_ID_FOTA2_CONTROL, {0x00, 0x8A, 0x02}, true);
            } else {
                m_link.sendFrame(MSG_ID_FOTA_CONTROL, {0x00, 0x00}, true);
            }
        }
        return;
    }
    if (p[0] == 1 && p.size() >= 2) {
        const int id = static_cast<int8_t>(p[1]);  // taken as signed, as the link does
        m_result.entryRequests.push_back(id);
        const auto entry =
            std::find_if(m_entries.begin(), m_entries.end(),
                         [&](const fota::EntryRecord& e) { return static_cast<int>(e.id) == id; });
        if (entry == m_entries.end()) {
            return;
        }
        m_entry = &*entry;
        m_lastSent = false;
        if (second) {
            m_link.sendFrame(MSG_ID_FOTA2_CONTROL, {0x01, p[1], 0x00}, true);
        } else {
            sendFirstGenerationData(0);
        }
    }
}

void ScriptedProgram::sendFirstGenerationData(uint32_t position) {
    if (m_entry == nullptr || m_fragment <= 0) {
        return;
    }
    const auto fragment = static_cast<uint32_t>(m_fragment);
    uint32_t count = fragment;
    bool last = false;
    if (position + fragment >= m_entry->size) {
        count = m_entry->size - position;
        last = true;
    }
    m_lastSent = last;
    std::vector<uint8_t> payload;
    appendLE32(payload, position);
    if (!last) {
        payload[3] = 0x80;
    }
    const auto from = m_package.begin() + m_entry->offset + position;
    payload.insert(payload.end(), from, from + count);
    if (m_tamper) {
        m_tamper(payload, static_cast<int>(m_result.dataMessages));
    }
    devlink::FrameOptions options;
    options.header = Generation::First;
    options.dataFlag = true;
    options.longForm = payload.size() + 3 > 255;
    m_result.longFormMessages += options.longForm ? 1 : 0;
    ++m_result.dataMessages;
    m_result.bytesSent += count;
    m_link.sendFrame(MSG_ID_FOTA_DOWNLOAD_DATA, payload, options);
}

void ScriptedProgram::sendSecondGenerationData(uint32_t offset, int count) {
    if (m_entry == nullptr) {
        return;
    }
    const auto fragment = static_cast<uint32_t>(m_fragment);
    for (int i = 0; i < count; ++i) {
        const uint32_t position = offset + static_cast<uint32_t>(i) * fragment;
        uint32_t n = fragment;
        bool last = false;
        if (position + fragment >= m_entry->size) {
            n = m_entry->size - position;
            last = true;
        }
        std::vector<uint8_t> payload = {static_cast<uint8_t>(position & 0xFF),
                                        static_cast<uint8_t>((position >> 8) & 0xFF),
                                        static_cast<uint8_t>((position >> 16) & 0xFF),
                                        static_cast<uint8_t>(last ? 0x00 : 0x80)};
        const auto from = m_package.begin() + m_entry->offset + position;
        payload.insert(payload.end(), from, from + n);
        if (m_tamper) {
            m_tamper(payload, static_cast<int>(m_result.dataMessages));
        }
        devlink::FrameOptions options;
        options.header = Generation::Second;
        options.response = true;
        options.dataFlag = true;
        ++m_result.dataMessages;
        m_result.bytesSent += n;
        m_link.sendFrame(MSG_ID_FOTA2_DATA, payload, options);
        if (last) {
            break;
        }
    }
}

void ScriptedProgram::onUpdateReport(const std::vector<uint8_t>& p) {
    const bool second = m_link.generation() == Generation::Second;
    if (p.size() >= 2 && p[0] == 0) {
        m_result.percents.push_back(p[1]);
        if (p[1] == 50) {
            m_mtuAnswered = false;
        }
        return;
    }
    if (p.size() >= 3 && p[0] == 1) {
        m_result.finished = true;
        m_result.state = p[1];
        m_result.reason = p[2];
        if (p[1] == 0 && p[2] == 0) {
            if (second) {
                m_link.sendFrame(MSG_ID_FOTA2_UPDATE, {0x01}, true);
            } else {
                m_link.sendFrame(MSG_ID_UPDATE_RESPONSE, {MSG_ID_FOTA_UPDATE, 0x00}, true);
            }
        } else if (p[2] != 14) {
            devlink::FrameOptions reset;
            reset.header = Generation::First;
            m_link.sendFrame(MSG_ID_RESET, {}, reset);
        }
    }
}

}  // namespace simtest
