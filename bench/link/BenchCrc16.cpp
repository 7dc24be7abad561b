// CRC-16 of the device link over 1 MiB (budget: at least 300 MB/s).

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "bench/link/BenchLogFolder.h"
#include "link/BluetoothHandle.h"
#include "link/FrameCodec.h"

namespace {

std::vector<uint8_t> randomBytes(std::size_t size) {
    std::mt19937 random(42);
    std::vector<uint8_t> bytes(size);
    for (uint8_t& byte : bytes) {
        byte = static_cast<uint8_t>(random());
    }
    return bytes;
}

void BM_calcCRC16_1MiB(benchmark::State& state) {
    const std::vector<uint8_t> bytes = randomBytes(1 << 20);
    bench_support::BenchLogFolder log;
    BluetoothHandle handle;
    for (auto _ : state) {
        benchmark::DoNotOptimize(handle.calcCRC16(bytes.data(), 0, bytes.size()));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_calcCRC16_1MiB);

}  // namespace
