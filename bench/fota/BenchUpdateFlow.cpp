// The whole firmware update as a user starts it, timed: auralis-sim with its demo pairs, demo
// timings and update server, a firmware image of the given size (default 300000 bytes), and the
// update flow on a link over the sim backend. For each pair it reports
//   - the time from StartDownload to the earbuds' verdict (download, judging, transfer and the
//     earbuds' own installation, which the sim takes a second for),
//   - the program's CPU per MiB of package during the download and during the transfer.
// Usage: bench_fota_update_flow [image bytes]. Everything runs in a private folder.

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
#include <string>
#include <thread>
#include <vector>

#include "flow/FirmwareUpdateFlow.h"
#include "link/BluetoothDevice.h"
#include "link/BluetoothHandle.h"
#include "platform/Paths.h"
#include "platform/bluetooth/sim/SimBackend.h"
#include "services/EnvironVar.h"
#include "tests/common/ChildProcess.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr double kMiB = 1024.0 * 1024.0;

double selfCpu() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Marks of time and CPU at the flow's events, and the link events the flow needs.
class Marks : public IFirmwareUpdateFlowDelegate, public IBluetoothHandleDelegate {
public:
    explicit Marks(FirmwareUpdateFlow*& flow) : m_flow(flow) {}

    struct Mark {
        Clock::time_point when;
        double cpu = 0;
    };

    // Link side: everything to the flow; the connect result and versions noted.
    void OnDeviceStatusChange(DeviceStatus status) override {
        m_flow->OnDeviceStatusChange(status);
    }
    void OnDeviceConnected(bool connected, BluetoothDevice* device) override {
        m_flow->OnDeviceConnected(connected, device);
        note(connected ? "connected" : "not-connected");
    }
    void OnDeviceDisconnected(int error) override { m_flow->OnDeviceDisconnected(error); }
    void OnFotaStateChange(int state) override { m_flow->OnFotaStateChange(state); }
    void OnDeviceVersionChange(std::string left, std::string right) override {
        m_flow->OnDeviceVersionChange(left, right);
        note("versions");
    }
    void OnDownloadProgressChange(int percent, uint64_t bytes) override {
        m_flow->OnDownloadProgressChange(percent, bytes);
    }
    void OnDownloadFinish(bool success, int reason) override {
        m_flow->OnDownloadFinish(success, reason);
    }

    // Flow side.
    void OnFlowOffer(const FirmwareOffer& offer) override {
        {
            std::lock_guard lock(m_mutex);
            m_offer = offer;
        }
        note("offer");
    }
    void OnFlowCheckFailed(const base::Error&) override { note("failed"); }
    void OnFlowPhaseChange(int phase) override {
        if (phase == FirmwareUpdateFlow::PH_COPY) {
            mark(m_copy);
        }
    }
    void OnFlowInternetUnavailable(const base::Error&) override { note("failed"); }
    void OnFlowBluetoothUnavailable(FlowLinkLoss) override { note("failed"); }
    void OnFlowPairLost() override { note("failed"); }
    void OnFlowPackageRefused(const base::Error&) override { note("failed"); }
    void OnFlowFinish(bool success, int) override {
        mark(m_finish);
        note(success ? "success" : "failed");
    }

    // Waits for one of the notes; empty after a minute.
    std::string wait(const std::vector<std::string>& wanted) {
        std::unique_lock lock(m_mutex);
        std::string found;
        m_changed.wait_for(lock, std::chrono::minutes(1), [&] {
            for (const std::string& note : m_notes) {
                for (const std::string& one : wanted) {
                    if (note == one) {
                        found = note;
                        return true;
                    }
                }
            }
            return false;
        });
        m_notes.clear();
        return found;
    }
    Mark copy() {
        std::lock_guard lock(m_mutex);
        return m_copy;
    }
    Mark finish() {
        std::lock_guard lock(m_mutex);
        return m_finish;
    }
    FirmwareOffer offer() {
        std::lock_guard lock(m_mutex);
        return m_offer;
    }

private:
    void note(const std::string& text) {
        std::lock_guard lock(m_mutex);
        m_notes.push_back(text);
        m_changed.notify_all();
    }
    void mark(Mark& slot) {
        const Mark now{Clock::now(), selfCpu()};
        std::lock_guard lock(m_mutex);
        slot = now;
    }

    FirmwareUpdateFlow*& m_flow;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_notes;
    Mark m_copy;
    Mark m_finish;
    FirmwareOffer m_offer;
};

struct Sim {
    testing_support::ChildProcess process;
    fs::path socket;
    std::string url;
};

Sim startSim(const fs::path& folder, long imageBytes) {
    const nlohmann::json scenario = {
        {"updateServer",
         {{"firmware",
           {{"VX-R175", {{"version", "2.2.0"}, {"imageSize", imageBytes}}},
            {"VX-R170", {{"version", "1.5.0"}, {"imageSize", imageBytes}}}}}}}};
    std::ofstream(folder / "scenario.json") << scenario.dump();
    Sim sim;
    sim.socket = folder / "n.sock";
    const std::string program = (platform::paths::executableFolder() / "auralis-sim").string();
    std::vector<std::string> args = {program,      "--demo",
                                     "--socket",   sim.socket.string(),
                                     "--scenario", (folder / "scenario.json").string()};
    const std::string out = (folder / "sim.out").string();
    sim.process.start(args, {.output = out});
    for (int i = 0; i < 1000 && sim.url.empty(); ++i) {
        std::ifstream in(out);
        for (std::string line; std::getline(in, line);) {
            if (line.rfind("update server: ", 0) == 0) {
                sim.url = line.substr(15);
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return sim;
}

double ms(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

bool updateOnce(const char* name, uint64_t address, BluetoothHandle& link, FirmwareUpdateFlow& flow,
                Marks& marks) {
    BluetoothDevice device(name, address);
    link.ConnectToDevice(&device);
    if (marks.wait({"connected", "not-connected"}) != "connected" ||
        marks.wait({"versions"}).empty()) {
        std::fprintf(stderr, "%s: cannot connect\n", name);
        return false;
    }
    if (!flow.RequestLatestVersion() || marks.wait({"offer", "failed"}) != "offer") {
        std::fprintf(stderr, "%s: no offer\n", name);
        return false;
    }
    const double size = static_cast<double>(marks.offer().size);
    const Marks::Mark start{Clock::now(), selfCpu()};
    flow.StartDownload();
    if (marks.wait({"success", "failed"}) != "success") {
        std::fprintf(stderr, "%s: the update failed\n", name);
        return false;
    }
    const Marks::Mark copy = marks.copy();
    const Marks::Mark finish = marks.finish();
    std::printf(
        "%-16s package %.0f bytes: start to verdict %.0f ms (download and check %.0f ms, "
        "transfer and install %.0f ms); program CPU per MiB: download %.1f ms, transfer %.1f ms\n",
        name, size, ms(finish.when - start.when), ms(copy.when - start.when),
        ms(finish.when - copy.when), (copy.cpu - start.cpu) * 1000.0 / (size / kMiB),
        (finish.cpu - copy.cpu) * 1000.0 / (size / kMiB));
    std::fflush(stdout);
    // The link is closed by the flow; the earbuds restart before the next pair's turn.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const long imageBytes = argc > 1 ? std::atol(argv[1]) : 300000;
    std::string pattern = (fs::temp_directory_path() / "auralis-bench-flow-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        return 1;
    }
    const fs::path folder = pattern;
    for (const char* name : {"AURALIS_CONFIG_DIR", "AURALIS_TEMP_DIR", "AURALIS_LOG_DIR"}) {
        fs::create_directories(folder / name);
        ::setenv(name, (folder / name).c_str(), 1);
    }
    Sim sim = startSim(folder, imageBytes);
    int status = sim.url.empty() ? 1 : 0;
    if (status == 0) {
        ::setenv("AURALIS_UPDATE_URL", sim.url.c_str(), 1);
        EnvironVar::SetUpdateFWStatus(1);
        FirmwareUpdateFlow* flowPointer = nullptr;
        Marks marks(flowPointer);
        BluetoothHandle link(std::make_shared<platform::bluetooth::SimBackend>(sim.socket));
        {
            FirmwareUpdateFlow flow(link, &marks);
            flowPointer = &flow;
            link.addReceiver(&marks);
            if (!updateOnce("Auralis+ (4F2A)", 0x705AB6014F2Aull, link, flow, marks) ||
                !updateOnce("Auralis (77A0)", 0x705AB60077A0ull, link, flow, marks)) {
                status = 1;
            }
            link.shutdown();
        }
    }
    sim.process.stop();
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    return status;
}
