// Fuzzes the program's receive path: splitting reads into frames, checking them, and dispatching
// every accepted message into its handler, in both generations. The same bytes also go through
// the general decoder of the earbuds' side.
//
// Input: byte 0 chooses the generation (bit 0: second) and how the rest is read (bit 1);
// byte 1 is the size of each socket read (0: all at once).
//  - raw mode: the rest is the byte stream as it arrives;
//  - frame mode: the rest is a list of records [id][flags][n][n payload bytes] that become
//    sealed frames (flags bit 0: response, bit 1: data flag, bit 2: spoil the checksum), so
//    that every handler is reached with arbitrary payloads. Each record's frame must also decode
//    back to itself through the general decoder.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/common/FuzzSandbox.h"
#include "link/BluetoothHandle.h"
#include "link/FrameCodec.h"
#include "link/FrameDecoder.h"

namespace {

// The earbuds' end of the link: takes every frame and keeps nothing.
class DiscardingConnection final : public platform::bluetooth::Connection {
public:
    std::ptrdiff_t send(const uint8_t*, std::size_t length) override {
        return static_cast<std::ptrdiff_t>(length);
    }
    std::ptrdiff_t receive(uint8_t*, std::size_t) override { return 0; }
    void close() override {}
    bool isOpen() const override { return true; }
};

// Takes every event with the empty defaults.
class SilentDelegate final : public IBluetoothHandleDelegate {};

// One link for the whole run: making and ending a link per input cost about a fifth of each
// execution. Every input starts from the link's fresh state (resetReceivedState), so an input
// behaves the same alone as after any other.
struct Fixture {
    Fixture() { handle.addReceiver(&delegate); }
    // First of all members: the link logs as it is made, and the log must already point into
    // the sandbox (and be quiet) by then, never at the user's own log folder.
    const std::filesystem::path& sandbox = fuzz_support::sandbox();
    std::shared_ptr<DiscardingConnection> connection = std::make_shared<DiscardingConnection>();
    BluetoothDevice first{"Auralis (77A0)", 1};
    BluetoothDevice second{"Auralis+ (4F2A)", 2};
    SilentDelegate delegate;
    BluetoothHandle handle;
};

std::vector<uint8_t> framesFromRecords(devlink::Generation generation, const uint8_t* data,
                                       std::size_t size) {
    std::vector<uint8_t> stream;
    std::size_t at = 0;
    while (at + 3 <= size) {
        const uint8_t id = data[at];
        const uint8_t flags = data[at + 1];
        std::size_t length = data[at + 2];
        at += 3;
        length = std::min(length, size - at);
        std::vector<uint8_t> frame = devlink::buildFrame(
            generation, id, {data + at, length},
            devlink::FrameOptions{
                .header = generation, .response = (flags & 1) != 0, .dataFlag = (flags & 2) != 0});
        at += length;
        if (frame.empty()) {
            continue;
        }
        devlink::FrameDecoder decoder(generation);
        const auto decoded = decoder.feed(frame);
        if (decoded.size() != 1 || decoded[0].messageId != id || !decoded[0].checksumOk ||
            decoded[0].payload.size() != length || decoded[0].response != ((flags & 1) != 0)) {
            __builtin_trap();
        }
        if ((flags & 4) != 0) {
            frame[frame.size() - 3] ^= 0x5A;
        }
        stream.insert(stream.end(), frame.begin(), frame.end());
    }
    return stream;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static Fixture fixture;
    if (size < 2) {
        return 0;
    }
    const bool secondGeneration = (data[0] & 1) != 0;
    const bool frameMode = (data[0] & 2) != 0;
    const std::size_t readSize = data[1];
    const auto generation =
        secondGeneration ? devlink::Generation::Second : devlink::Generation::First;

    const std::vector<uint8_t> stream = frameMode
                                            ? framesFromRecords(generation, data + 2, size - 2)
                                            : std::vector<uint8_t>(data + 2, data + size);

    BluetoothHandle& handle = fixture.handle;
    handle.resetReceivedState();
    handle.setConnection(fixture.connection);
    handle.setConnectedDevice(secondGeneration ? &fixture.second : &fixture.first);
    devlink::FrameDecoder decoder(generation);

    const std::size_t step = readSize == 0 ? stream.size() : readSize;
    for (std::size_t at = 0; at < stream.size(); at += step) {
        const std::size_t count = std::min(step, stream.size() - at);
        // Each read lands in a buffer of exactly its size, so any read beyond it is caught.
        const std::vector<uint8_t> chunk(stream.begin() + static_cast<std::ptrdiff_t>(at),
                                         stream.begin() + static_cast<std::ptrdiff_t>(at + count));
        handle.handleReceivedChunk(chunk.data(), chunk.size());
        decoder.feed(chunk);
    }
    return 0;
}
