#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "link/FrameCodec.h"

namespace devlink {

// The program's receive path on bytes alone: cuts the bytes of one socket read (a chunk) into
// frames, and joins a frame that a read cut off with its rest from the following read.
//
// Within a chunk the device link's rules hold exactly. From p = 0 while p < count - 1: a byte
// other than the start marker is skipped; at a start marker the one-byte body length L is read
// (offset 1 in the second generation, offset 2 in the first) and the end marker is expected at
// e = p + L + 3. If e lies beyond the chunk, or buffer[e] is not the end marker, the sink hears
// "incorrect message" and the rest of the chunk is not scanned. Otherwise the frame goes to the
// sink, which checks its checksum, and scanning goes on at e + 1. A first-generation header cut
// by the chunk's end (start marker and flag byte as the last two bytes) counts as truncated;
// its length byte is never read from beyond the chunk.
//
// Carry-over: when the chunk ends inside a frame (its declared end lies beyond the chunk, or
// the header itself is cut, or a start marker is the very last byte, which is not examined),
// the bytes from that start marker on are kept; there are at most 258 of them, since a frame
// with a one-byte length is at most 259 bytes long. With the next chunk:
//   - If the kept bytes and the start of the chunk complete the frame, and its end marker is in
//     place and the sink accepts its checksum, it is a frame like any other and scanning goes
//     on in the chunk right after it. Otherwise the kept bytes are dropped and the chunk is
//     scanned from its first byte exactly as if nothing had been kept.
//   - If the chunk is too short to complete the frame, the chunk is first scanned on its own as
//     usual. If that scan accepted a frame, the kept bytes were not the start of a real frame
//     and are dropped (the chunk's own cut-off frame, if any, is kept instead); otherwise the
//     chunk is added to the kept bytes.
// So complete frames within one read are always handled exactly as the rules above say, and
// stray kept bytes can never swallow them.
class FrameSplitter {
public:
    class Sink {
    public:
        // A frame whose end marker is in place (start to end marker). Returns true when its
        // checksum is good and the frame was taken.
        virtual bool onFrame(const uint8_t* frame, std::size_t length) = 0;
        // A truncated frame or a wrong end marker: the rest of the chunk is not scanned.
        virtual void onIncorrectMessage() = 0;

    protected:
        ~Sink() = default;
    };

    // Scans one chunk of the given generation's frames. A change of generation drops kept bytes.
    void split(Generation generation, const uint8_t* chunk, std::size_t count, Sink& sink);

    // Bytes kept from a frame cut off at the end of the last chunk.
    std::size_t carriedBytes() const { return m_carrySize; }
    void reset() { m_carrySize = 0; }

private:
    struct ScanResult {
        std::size_t accepted = 0;
        bool cutOff = false;
        std::size_t cutOffStart = 0;
    };
    enum class Continuation { Completed, Failed, NeedMore };

    static ScanResult scan(Generation generation, const uint8_t* chunk, std::size_t from,
                           std::size_t count, Sink& sink);
    Continuation continueCarried(Generation generation, const uint8_t* chunk, std::size_t count,
                                 Sink& sink, std::size_t& consumed);
    void keep(const ScanResult& result, const uint8_t* chunk, std::size_t count);
    uint8_t carriedByteAt(std::size_t index, const uint8_t* chunk) const;

    std::array<uint8_t, kMaxShortFrameLength> m_carry{};
    std::size_t m_carrySize = 0;
    Generation m_carryGeneration = Generation::First;
};

}  // namespace devlink
