#include "link/FrameSplitter.h"

#include <algorithm>

namespace devlink {
namespace {

std::size_t lengthOffset(Generation generation) {
    return generation == Generation::Second ? 1 : 2;
}

}  // namespace

void FrameSplitter::split(Generation generation, const uint8_t* chunk, std::size_t count,
                          Sink& sink) {
    if (count == 0) {
        return;
    }
    if (m_carrySize > 0 && m_carryGeneration != generation) {
        m_carrySize = 0;
    }
    std::size_t from = 0;
    if (m_carrySize > 0) {
        std::size_t consumed = 0;
        switch (continueCarried(generation, chunk, count, sink, consumed)) {
            case Continuation::Completed:
                m_carrySize = 0;
                from = consumed;
                break;
            case Continuation::Failed:
                m_carrySize = 0;
                break;
            case Continuation::NeedMore: {
                const ScanResult result = scan(generation, chunk, 0, count, sink);
                if (result.accepted > 0) {
                    m_carrySize = 0;
                    keep(result, chunk, count);
                } else {
                    std::copy(chunk, chunk + count, m_carry.begin() + m_carrySize);
                    m_carrySize += count;
                }
                return;
            }
        }
    }
    m_carryGeneration = generation;
    keep(scan(generation, chunk, from, count, sink), chunk, count);
}

FrameSplitter::ScanResult FrameSplitter::scan(Generation generation, const uint8_t* chunk,
                                              std::size_t from, std::size_t count, Sink& sink) {
    const uint8_t start = startMarker(generation);
    const uint8_t end = endMarker(generation);
    const std::size_t lengthAt = lengthOffset(generation);
    ScanResult result;
    std::size_t p = from;
    while (p + 1 < count) {
        if (chunk[p] != start) {
            ++p;
            continue;
        }
        if (p + lengthAt >= count) {
            sink.onIncorrectMessage();
            return {result.accepted, true, p};
        }
        const std::size_t e = p + chunk[p + lengthAt] + 3;
        if (e >= count) {
            sink.onIncorrectMessage();
            return {result.accepted, true, p};
        }
        if (chunk[e] != end) {
            sink.onIncorrectMessage();
            return result;
        }
        if (sink.onFrame(chunk + p, e - p + 1)) {
            ++result.accepted;
        }
        p = e + 1;
    }
    // A start marker in the last byte is not examined, but it may begin a frame.
    if (p + 1 == count && chunk[p] == start) {
        return {result.accepted, true, p};
    }
    return result;
}

void FrameSplitter::keep(const ScanResult& result, const uint8_t* chunk, std::size_t count) {
    if (!result.cutOff) {
        return;
    }
    // A cut-off frame is shorter than its declared length, which is at most 259 bytes.
    const std::size_t size = std::min(count - result.cutOffStart, m_carry.size() - 1);
    std::copy(chunk + result.cutOffStart, chunk + result.cutOffStart + size, m_carry.begin());
    m_carrySize = size;
}

uint8_t FrameSplitter::carriedByteAt(std::size_t index, const uint8_t* chunk) const {
    return index < m_carrySize ? m_carry[index] : chunk[index - m_carrySize];
}

FrameSplitter::Continuation FrameSplitter::continueCarried(Generation generation,
                                                           const uint8_t* chunk, std::size_t count,
                                                           Sink& sink, std::size_t& consumed) {
    const std::size_t total = m_carrySize + count;
    const std::size_t lengthAt = lengthOffset(generation);
    if (total <= lengthAt) {
        return Continuation::NeedMore;
    }
    const std::size_t frameLength = carriedByteAt(lengthAt, chunk) + 4u;
    if (total < frameLength) {
        return Continuation::NeedMore;
    }
    if (carriedByteAt(frameLength - 1, chunk) != endMarker(generation)) {
        return Continuation::Failed;
    }
    std::array<uint8_t, kMaxShortFrameLength> frame;
    for (std::size_t i = 0; i < frameLength; ++i) {
        frame[i] = carriedByteAt(i, chunk);
    }
    if (!sink.onFrame(frame.data(), frameLength)) {
        return Continuation::Failed;
    }
    consumed = frameLength - m_carrySize;
    return Continuation::Completed;
}

}  // namespace devlink
