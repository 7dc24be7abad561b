#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "link/FrameCodec.h"

namespace devlink {

// One frame as the decoder found it.
struct DecodedFrame {
    // Header layout: the layout of the markers' generation, except for a first-generation header
    // between second-generation markers (the program's reset request).
    Generation header = Generation::First;
    bool response = false;
    bool dataFlag = false;
    bool longForm = false;
    uint8_t messageId = 0;
    // Bytes after the id, without the checksum.
    std::vector<uint8_t> payload;
    // The whole frame, start to end marker.
    std::vector<uint8_t> frame;
    bool checksumOk = false;
};

// A general stream decoder for the earbuds' side of the link (auralis-sim, tests): it accepts
// every frame the program can send with the given markers, including the first-generation long
// form and the reset request's first-generation header between second-generation markers, and
// joins frames across any number of reads.
//
// This is deliberately not the program's own receive path (FrameSplitter), which follows the
// device link's stricter rules. Bytes that do not start a frame are skipped one at a time; a
// start marker whose declared frame ends in the wrong byte is skipped as well, so the decoder
// finds the next frame after garbage of any kind.
class FrameDecoder {
public:
    explicit FrameDecoder(Generation markers);

    // Takes the next bytes of the stream; returns the frames they complete, in stream order.
    // Frames whose end marker is in place but whose checksum is wrong are returned with
    // checksumOk false.
    std::vector<DecodedFrame> feed(std::span<const uint8_t> bytes);

    // Bytes held while a frame is incomplete.
    std::size_t pendingBytes() const { return m_buffer.size(); }
    // Bytes skipped so far because they did not start a frame.
    std::size_t skippedBytes() const { return m_skipped; }
    void reset();

private:
    struct Layout {
        Generation header;
        std::size_t frameLength;
        bool response;
        bool dataFlag;
        bool longForm;
    };
    enum class Verdict { NeedMore, Frame, NotAFrame };

    Verdict examine(std::size_t at, DecodedFrame& frame, std::size_t& frameLength) const;
    std::size_t layoutsAt(std::size_t at, Layout* layouts) const;

    const Generation m_markers;
    std::vector<uint8_t> m_buffer;
    std::size_t m_skipped = 0;
};

}  // namespace devlink
