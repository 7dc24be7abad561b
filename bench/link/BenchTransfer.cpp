// A firmware transfer of a multi-megabyte package through the device link and auralis-sim on a
// local socket, both generations (budget: at least 10 MB/s end to end, at most 30 ms of program
// CPU per MiB). A timed program: it starts the built auralis-sim on a private socket, connects
// through the sim backend, transfers the package and reports
//   - the rate from OpenFotaSession to the earbuds' verdict,
//   - the CPU time of this process (the link's threads) and of the sim process per MiB,
//   - what the link's log costs: lines and bytes per MiB, and the CPU of writing that many lines.
// The first generation waits for an acknowledgement of every fragment, so its rate follows the
// fragment size the earbuds ask for: it runs at the sim's usual 512 bytes and at 4096.
// Usage: bench_link_transfer [MiB] (default 8). The link logs as the product does (at the level
// AURALIS_LOG_LEVEL names; the data exchanges of a transfer in summary) into a private folder.
// The machine is shared: run it several times and take the smallest CPU figures.

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/Log.h"
#include "fota/PackageWriter.h"
#include "link/BluetoothHandle.h"
#include "platform/Paths.h"
#include "platform/bluetooth/sim/SimBackend.h"
#include "tests/common/ChildProcess.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr double kMiB = 1024.0 * 1024.0;

double cpuSeconds(const rusage& usage) {
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double selfCpu() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return cpuSeconds(usage);
}

// User and system time of another process, from /proc/<pid>/stat.
double processCpu(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), {});
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) {
        return 0;
    }
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    unsigned long long utime = 0;
    unsigned long long stime = 0;
    for (int index = 3; fields >> field; ++index) {
        if (index == 14) {
            utime = std::stoull(field);
        } else if (index == 15) {
            stime = std::stoull(field);
            break;
        }
    }
    return static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// The link's events the benchmark waits for.
class Waiter : public IBluetoothHandleDelegate {
public:
    void OnDeviceConnected(bool isConnected, BluetoothDevice*) override {
        set(m_connected, isConnected ? 1 : 2);
    }
    void OnDownloadFinish(bool success, int reason) override {
        set(m_finish, success ? 1 : 2);
        m_reason = reason;
    }
    void OnDeviceDisconnected(int) override { set(m_finish, 3); }

    int waitConnected() { return wait(m_connected); }
    int waitFinish() { return wait(m_finish); }
    int reason() const { return m_reason; }

private:
    void set(int& slot, int value) {
        std::lock_guard lock(m_mutex);
        slot = value;
        m_changed.notify_all();
    }
    int wait(int& slot) {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, std::chrono::minutes(5), [&] { return slot != 0; });
        const int value = slot;
        slot = 0;
        return value;
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_connected = 0;
    int m_finish = 0;
    int m_reason = 0;
};

struct Sim {
    testing_support::ChildProcess process;
    fs::path socket;
};

Sim startSim(const fs::path& folder) {
    nlohmann::json devices =
        nlohmann::json::array({{{"address", "70:5A:B6:01:4F:2A"}, {"name", "Auralis+ (4F2A)"}},
                               {{"address", "70:5A:B6:00:77:A0"},
                                {"name", "Auralis (77A0)"},
                                {"mtu", 512},
                                {"secondMtu", 512}},
                               {{"address", "70:5A:B6:00:77:A1"},
                                {"name", "Auralis (77A1)"},
                                {"mtu", 4096},
                                {"secondMtu", 4096}}});
    nlohmann::json scenario = {{"timing",
                                {{"connectReportDelayMs", 10},
                                 {"fotaTimeoutMs", 30000},
                                 {"installMs", 1},
                                 {"statusIntervalMs", 0}}},
                               {"devices", devices}};
    std::ofstream(folder / "scenario.json") << scenario.dump();
    Sim sim;
    sim.socket = folder / "n.sock";
    const std::string program = (platform::paths::executableFolder() / "auralis-sim").string();
    std::vector<std::string> args = {
        program,     "--socket",   sim.socket.string(),
        "--no-http", "--scenario", (folder / "scenario.json").string()};
    ::setenv("AURALIS_LOG_DIR", (folder / "simlog").c_str(), 1);
    const std::string out = (folder / "sim.out").string();
    sim.process.start(args, {.output = out});
    platform::bluetooth::SimBackend probe(sim.socket);
    for (int i = 0; i < 1000 && probe.checkRadio() != 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return sim;
}

std::size_t fileSize(const fs::path& path) {
    std::error_code error;
    const auto size = fs::file_size(path, error);
    return error ? 0 : static_cast<std::size_t>(size);
}

std::size_t lineCount(const fs::path& path) {
    std::ifstream in(path);
    std::size_t lines = 0;
    for (std::string line; std::getline(in, line);) {
        ++lines;
    }
    return lines;
}

// CPU per line of the link's typical log line (a frame's hex dump), measured here.
double logLineCost(const fs::path& folder) {
    base::log::configure({.folder = folder / "linecost", .name = "lines"});
    const uint8_t frame[16] = {0xFD, 0x8D, 0x32, 0xBD, 0, 0, 0, 0x80, 1, 2, 3, 4, 5, 6, 7, 8};
    constexpr int kLines = 200000;
    const double before = selfCpu();
    for (int i = 0; i < kLines; ++i) {
        BluetoothHandle::logMessage("SENT: ", "BluetoothHandle::sendSPPMessage", frame,
                                    sizeof(frame));
    }
    base::log::flush();
    return (selfCpu() - before) / kLines;
}

bool transfer(const char* label, BluetoothHandle& link, Waiter& waiter, BluetoothDevice& device,
              const FileInfo& package, const fs::path& logFile, pid_t simPid, double lineCost) {
    link.ConnectToDevice(&device);
    if (waiter.waitConnected() != 1) {
        std::printf("%s: cannot connect\n", label);
        return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the earbuds' first reports
    base::log::flush();
    const std::size_t logBytesBefore = fileSize(logFile);
    const std::size_t logLinesBefore = lineCount(logFile);
    link.setFotaBin(package);
    const double programBefore = selfCpu();
    const double simBefore = processCpu(simPid);
    const auto start = Clock::now();
    if (!link.OpenFotaSession()) {
        std::printf("%s: cannot open the session\n", label);
        return false;
    }
    const int verdict = waiter.waitFinish();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double programCpu = selfCpu() - programBefore;
    const double simCpu = processCpu(simPid) - simBefore;
    base::log::flush();
    if (verdict != 1) {
        std::printf("%s: the transfer failed (%d, reason %d)\n", label, verdict, waiter.reason());
        return false;
    }
    uint64_t bytes = 0;
    for (const fota::EntryRecord& entry : package.entries) {
        bytes += entry.size;
    }
    const double mib = static_cast<double>(bytes) / kMiB;
    const double lines = static_cast<double>(lineCount(logFile) - logLinesBefore);
    std::printf(
        "%s: %.1f MiB in %.3f s = %.1f MB/s (%.1f MiB/s); program CPU %.1f ms/MiB, sim CPU "
        "%.1f ms/MiB; log %.0f lines/MiB, %.2f MiB/MiB, about %.1f ms/MiB of the program CPU\n",
        label, mib, seconds, static_cast<double>(bytes) / 1e6 / seconds, mib / seconds,
        programCpu * 1000 / mib, simCpu * 1000 / mib, lines / mib,
        static_cast<double>(fileSize(logFile) - logBytesBefore) / kMiB / mib,
        lines / mib * lineCost * 1000);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const int mib = argc > 1 ? std::max(1, std::atoi(argv[1])) : 8;
    std::string pattern = (fs::temp_directory_path() / "auralis-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        return 1;
    }
    const fs::path folder = pattern;
    const double lineCost = logLineCost(folder);
    // One file, never rotated, so that its lines can be counted.
    base::log::configure(
        {.folder = folder / "log", .name = "bench", .maxFileBytes = std::size_t{1} << 40});

    // Two entries below the 16 MiB an entry may hold.
    fota::PackageWriter writer;
    const std::size_t total = static_cast<std::size_t>(mib) << 20;
    std::vector<uint8_t> image(total);
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
    }
    writer.addEntry(2, std::vector<uint8_t>(image.begin(), image.begin() + total * 3 / 4));
    writer.addEntry(3, std::vector<uint8_t>(image.begin() + total * 3 / 4, image.end()));
    writer.writeFile(folder / "package.bin");
    FileInfo package;
    package.path = (folder / "package.bin").string();
    package.getFileInfo(package.path);

    Sim sim = startSim(folder);
    int status = 0;
    {
        Waiter waiter;
        BluetoothHandle link(std::make_shared<platform::bluetooth::SimBackend>(sim.socket));
        link.addReceiver(&waiter);
        BluetoothDevice second("Auralis+ (4F2A)", 0x705AB6014F2Aull);
        BluetoothDevice first("Auralis (77A0)", 0x705AB60077A0ull);
        BluetoothDevice firstLarge("Auralis (77A1)", 0x705AB60077A1ull);
        std::printf("log line cost: %.2f us per line\n", lineCost * 1e6);
        const fs::path logFile = folder / "log" / "bench.log";
        status |= transfer("second generation (650-byte fragments)", link, waiter, second, package,
                           logFile, sim.process.pid(), lineCost)
                      ? 0
                      : 1;
        status |= transfer("first generation (512-byte fragments)", link, waiter, first, package,
                           logFile, sim.process.pid(), lineCost)
                      ? 0
                      : 1;
        status |= transfer("first generation (4096-byte fragments)", link, waiter, firstLarge,
                           package, logFile, sim.process.pid(), lineCost)
                      ? 0
                      : 1;
        link.shutdown();
    }
    sim.process.stop();
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    return status;
}
