// The soak: many connect/disconnect cycles and firmware transfers of one link through
// auralis-sim, checking that the process ends with the file descriptors, threads and memory it
// had after the first cycle. Long (minutes), so it is not part of the default test run: `make
// soak` builds and runs it.

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "fota/PackageWriter.h"
#include "platform/bluetooth/sim/SimBackend.h"
#include "tests/common/Eventually.h"
#include "tests/common/TestSandbox.h"
#include "tests/integration/SimNeighbourhood.h"
#include "tests/link/LinkTestSupport.h"

using integration::SimNeighbourhood;
using link_test::EventRecorder;
using nlohmann::json;
using namespace std::chrono_literals;

namespace {

constexpr int kCycles = 200;
constexpr int kTransfers = 20;
// Resident memory may move a little (allocator caches, the recorder's event list).
constexpr long kMemoryToleranceKiB = 4096;

constexpr uint64_t kPlus = 0x705AB6014F2Aull;
const char* const kPlusText = "70:5A:B6:01:4F:2A";

struct Usage {
    int fds = 0;
    int threads = 0;
    long residentKiB = 0;
};

int entriesIn(const char* folder) {
    return static_cast<int>(std::distance(std::filesystem::directory_iterator(folder),
                                          std::filesystem::directory_iterator()));
}

Usage usageNow() {
    Usage usage;
    usage.fds = entriesIn("/proc/self/fd");
    usage.threads = entriesIn("/proc/self/task");
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) {
            usage.residentKiB = std::stol(line.substr(6));
        }
    }
    return usage;
}

// Hundreds of cycles on a busy machine: a longer bound than the default.
bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit = 30s) {
    return testing_support::eventually(condition, limit);
}

FileInfo writePackage() {
    fota::PackageWriter writer;
    const std::string descriptor = "AURALIS-FW 1\nmodel=VX-R175\nversion=9.9.9\n";
    writer.addEntry(1, std::vector<uint8_t>(descriptor.begin(), descriptor.end()));
    writer.addEntry(2, std::vector<uint8_t>(50000, 0x5A));
    const auto path = testing_support::makeTempFolder("soak") / "Auralis_VX-R175.bin";
    writer.writeFile(path);
    FileInfo info;
    info.path = path.string();
    EXPECT_TRUE(info.getFileInfo(info.path));
    return info;
}

void print(const char* when, const Usage& usage) {
    std::printf("soak: %-24s fds %d, threads %d, resident %ld KiB\n", when, usage.fds,
                usage.threads, usage.residentKiB);
    std::fflush(stdout);
}

}  // namespace

TEST(SoakTest, ConnectCyclesAndTransfersLeaveNothingBehind) {
    SimNeighbourhood sim(json::array(
        {{{"address", kPlusText}, {"name", "Auralis+ (4F2A)"}, {"paired", true}, {"mtu", 1000}}}));
    ASSERT_TRUE(sim.started());
    EventRecorder events;
    BluetoothHandle handle(std::make_shared<platform::bluetooth::SimBackend>(sim.socket()));
    handle.setTimings(link_test::simLinkTimings(500ms, 5000ms));
    handle.addReceiver(&events);
    BluetoothDevice device("Auralis+ (4F2A)", kPlus);
    const auto started = std::chrono::steady_clock::now();

    // One cycle: connect, see the earbuds' first report, disconnect, and wait until the link's
    // threads have ended (the alive check notices the closed link on its next probe).
    const auto cycle = [&](int n) {
        handle.ConnectToDevice(&device);
        ASSERT_TRUE(events.waitFor("OnDeviceConnected", n, 30s));
        ASSERT_EQ(events.matching("OnDeviceConnected").back(), "OnDeviceConnected(1)");
        ASSERT_TRUE(eventually([&] { return events.count("OnDeviceIMEIChange") >= n; }));
        handle.DisConnectToDevice();
        ASSERT_TRUE(eventually([&] { return handle.runningThreads() == 0; }));
    };

    cycle(1);
    const Usage first = usageNow();
    print("after the first cycle:", first);
    for (int n = 2; n <= kCycles; ++n) {
        cycle(n);
        if (HasFatalFailure()) {
            return;
        }
    }
    print("after the cycles:", usageNow());

    // The earbuds restart after each update and refuse connections meanwhile: try again.
    const auto connectOnceBack = [&] {
        for (int attempt = 0; attempt < 200; ++attempt) {
            const int before = events.count("OnDeviceConnected");
            handle.ConnectToDevice(&device);
            if (!events.waitFor("OnDeviceConnected", before + 1, 30s)) {
                return false;
            }
            if (events.matching("OnDeviceConnected").back() == "OnDeviceConnected(1)") {
                return true;
            }
            std::this_thread::sleep_for(50ms);
        }
        return false;
    };
    handle.setFotaBin(writePackage());
    for (int n = 1; n <= kTransfers; ++n) {
        ASSERT_TRUE(connectOnceBack());
        ASSERT_TRUE(handle.OpenFotaSession());
        ASSERT_TRUE(events.waitFor("OnDownloadFinish", n, 60s));
        ASSERT_EQ(events.matching("OnDownloadFinish").back(), "OnDownloadFinish(1,0)");
        handle.DisConnectToDevice();
        ASSERT_TRUE(eventually([&] { return handle.runningThreads() == 0; }));
    }
    const Usage last = usageNow();
    print("at the end:", last);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("soak: %d cycles and %d transfers in %.1f s\n", kCycles, kTransfers, seconds);

    EXPECT_EQ(last.fds, first.fds);
    EXPECT_EQ(last.threads, first.threads);
    EXPECT_LE(last.residentKiB - first.residentKiB, kMemoryToleranceKiB);
    EXPECT_TRUE(handle.shutdown());
}
