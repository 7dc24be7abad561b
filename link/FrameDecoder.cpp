#include "link/FrameDecoder.h"

#include <algorithm>

namespace devlink {

FrameDecoder::FrameDecoder(Generation markers) : m_markers(markers) {}

void FrameDecoder::reset() {
    m_buffer.clear();
    m_skipped = 0;
}

std::vector<DecodedFrame> FrameDecoder::feed(std::span<const uint8_t> bytes) {
    m_buffer.insert(m_buffer.end(), bytes.begin(), bytes.end());
    std::vector<DecodedFrame> frames;
    const uint8_t start = startMarker(m_markers);
    std::size_t position = 0;
    while (position < m_buffer.size()) {
        if (m_buffer[position] != start) {
            ++position;
            ++m_skipped;
            continue;
        }
        DecodedFrame frame;
        std::size_t frameLength = 0;
        const Verdict verdict = examine(position, frame, frameLength);
        if (verdict == Verdict::NeedMore) {
            break;
        }
        if (verdict == Verdict::Frame) {
            frames.push_back(std::move(frame));
            position += frameLength;
        } else {
            ++position;
            ++m_skipped;
        }
    }
    m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(position));
    return frames;
}

// The header layouts that the bytes at `at` can be read as; returns how many (0 when the header
// is not complete yet).
std::size_t FrameDecoder::layoutsAt(std::size_t at, Layout* layouts) const {
    const std::size_t available = m_buffer.size() - at;
    if (available < kShortHeaderSize) {
        return 0;
    }
    const uint8_t* b = m_buffer.data() + at;
    std::size_t count = 0;
    if (m_markers == Generation::First) {
        const uint8_t flags = b[1];
        const bool longForm = (flags & kFirstFlagLongForm) != 0;
        if (longForm && available < kLongHeaderSize) {
            return 0;
        }
        const std::size_t bodyLength = longForm ? (b[2] | (b[3] << 8)) : b[2];
        layouts[count++] = {
            Generation::First, (longForm ? kLongHeaderSize : kShortHeaderSize) + bodyLength + 1,
            (flags & kFirstFlagResponse) != 0, (flags & kFirstFlagData) != 0, longForm};
        return count;
    }
    const uint16_t word = static_cast<uint16_t>(b[1] | (b[2] << 8));
    const std::size_t bodyLength = word & kSecondLengthMask;
    layouts[count++] = {Generation::Second, kShortHeaderSize + bodyLength + 1,
                        (b[2] & kSecondFlagResponse) != 0, (b[2] & kSecondFlagData) != 0, false};
    // The reset request: a first-generation flag byte (response and data bits at most) and a
    // one-byte length between second-generation markers.
    if ((b[1] & ~(kFirstFlagResponse | kFirstFlagData)) == 0) {
        layouts[count++] = {Generation::First, kShortHeaderSize + b[2] + 1,
                            (b[1] & kFirstFlagResponse) != 0, (b[1] & kFirstFlagData) != 0, false};
    }
    return count;
}

// A layout whose frame is complete with its end marker in place and a good checksum wins; else
// wait while any layout still lacks bytes; else take a frame with a bad checksum; else the start
// marker does not begin a frame.
FrameDecoder::Verdict FrameDecoder::examine(std::size_t at, DecodedFrame& frame,
                                            std::size_t& frameLength) const {
    Layout layouts[2];
    const std::size_t count = layoutsAt(at, layouts);
    if (count == 0) {
        return Verdict::NeedMore;
    }
    const std::size_t available = m_buffer.size() - at;
    const uint8_t* b = m_buffer.data() + at;
    const Layout* good = nullptr;
    const Layout* badChecksum = nullptr;
    bool pending = false;
    for (std::size_t i = 0; i < count; ++i) {
        const Layout& layout = layouts[i];
        const std::size_t headerSize = layout.longForm ? kLongHeaderSize : kShortHeaderSize;
        if (layout.frameLength < headerSize + kMinBodyLength + 1) {
            continue;
        }
        if (available < layout.frameLength) {
            pending = true;
            continue;
        }
        if (b[layout.frameLength - 1] != endMarker(m_markers)) {
            continue;
        }
        if (checksumMatches(m_markers, b, layout.frameLength)) {
            good = good != nullptr ? good : &layout;
        } else {
            badChecksum = badChecksum != nullptr ? badChecksum : &layout;
        }
    }
    const Layout* chosen = good;
    if (chosen == nullptr && pending) {
        return Verdict::NeedMore;
    }
    if (chosen == nullptr) {
        chosen = badChecksum;
    }
    if (chosen == nullptr) {
        return Verdict::NotAFrame;
    }
    const std::size_t headerSize = chosen->longForm ? kLongHeaderSize : kShortHeaderSize;
    frameLength = chosen->frameLength;
    frame.header = chosen->header;
    frame.response = chosen->response;
    frame.dataFlag = chosen->dataFlag;
    frame.longForm = chosen->longForm;
    frame.messageId = b[headerSize];
    frame.payload.assign(b + headerSize + 1, b + frameLength - 3);
    frame.frame.assign(b, b + frameLength);
    frame.checksumOk = chosen == good;
    return Verdict::Frame;
}

}  // namespace devlink
