// Splitting received reads into frames and checking their checksums (budget: at least
// 200 MB/s), measured twice over 1 MiB of frames cut into 1024-byte reads:
//  - Codec: the splitter and the checksum alone, as the receive path runs them;
//  - Logged: BluetoothHandle::parseMessageData as the program runs it, which logs every frame
//    (hex dump, checksum lines) into a log file.
// The argument is the frame length: 11 bytes (a status report) or 259 (the longest a read can
// carry whole).

#include <benchmark/benchmark.h>

#include <vector>

#include "bench/link/BenchLogFolder.h"
#include "link/BluetoothHandle.h"
#include "link/FrameCodec.h"
#include "link/FrameSplitter.h"

namespace {

constexpr std::size_t kStreamSize = 1 << 20;
constexpr std::size_t kReadSize = 1024;

std::vector<uint8_t> frameStream(std::size_t frameLength) {
    const std::vector<uint8_t> payload(frameLength - 7, 0x5A);
    const std::vector<uint8_t> frame =
        devlink::buildFrame(devlink::Generation::Second, 0x60, payload, false);
    std::vector<uint8_t> stream;
    stream.reserve(kStreamSize + frame.size());
    while (stream.size() + frame.size() <= kStreamSize) {
        stream.insert(stream.end(), frame.begin(), frame.end());
    }
    return stream;
}

class CheckingSink final : public devlink::FrameSplitter::Sink {
public:
    bool onFrame(const uint8_t* frame, std::size_t length) override {
        const bool good = devlink::checksumMatches(devlink::Generation::Second, frame, length);
        accepted += good ? 1 : 0;
        return good;
    }
    void onIncorrectMessage() override {}
    std::size_t accepted = 0;
};

void BM_SplitAndCheck_Codec(benchmark::State& state) {
    const std::vector<uint8_t> stream = frameStream(static_cast<std::size_t>(state.range(0)));
    devlink::FrameSplitter splitter;
    CheckingSink sink;
    for (auto _ : state) {
        for (std::size_t at = 0; at < stream.size(); at += kReadSize) {
            splitter.split(devlink::Generation::Second, stream.data() + at,
                           std::min(kReadSize, stream.size() - at), sink);
        }
    }
    benchmark::DoNotOptimize(sink.accepted);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(stream.size()));
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(sink.accepted), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SplitAndCheck_Codec)->Arg(11)->Arg(259);

void BM_parseMessageData_Logged(benchmark::State& state) {
    bench_support::BenchLogFolder log;
    const std::vector<uint8_t> stream = frameStream(static_cast<std::size_t>(state.range(0)));
    BluetoothHandle handle;
    BluetoothDevice device("Auralis+ (4F2A)", 1);
    handle.setConnectedDevice(&device);
    std::size_t frames = 0;
    for (auto _ : state) {
        for (std::size_t at = 0; at < stream.size(); at += kReadSize) {
            std::vector<SPPMessage> messages;
            handle.parseMessageData(stream.data() + at, std::min(kReadSize, stream.size() - at),
                                    messages);
            frames += messages.size();
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(stream.size()));
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_parseMessageData_Logged)->Arg(11)->Arg(259)->Unit(benchmark::kMillisecond);

}  // namespace
