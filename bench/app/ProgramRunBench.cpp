// bench_app_run: the running main program against auralis-sim on the current display: time
// from start to the first painted frame, CPU while idle on the home screen over 30 s, and
// resident memory. Needs a display and xdotool to press Connect; without a display it says so
// and measures nothing. Run it with a session bus as a desktop has one:
//   xvfb-run -a dbus-run-session -- build/bin/bench_app_run
// Without a session bus SDL starts one on its own (dbus-launch), which adds about 100 ms to the
// start that no user sees.

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/Paths.h"
#include "tests/common/ChildProcess.h"
#include "tests/common/Eventually.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr auto kIdleWindow = 30s;

std::string ReadFile(const fs::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Milliseconds since midnight of a log line's time stamp ("2026-12-08 09:06:10.513 ...").
std::optional<double> StampOfLine(const std::string& log, const std::string& text) {
    const std::size_t at = log.find(text);
    if (at == std::string::npos) {
        return std::nullopt;
    }
    const std::size_t lineStart =
        log.rfind('\n', at) == std::string::npos ? 0 : log.rfind('\n', at) + 1;
    int hours = 0;
    int minutes = 0;
    double seconds = 0;
    if (std::sscanf(log.c_str() + lineStart + 11, "%d:%d:%lf", &hours, &minutes, &seconds) != 3) {
        return std::nullopt;
    }
    return (hours * 3600 + minutes * 60 + seconds) * 1000.0;
}

double NowSinceMidnightMs() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    const double fraction = std::chrono::duration<double, std::milli>(
                                now - std::chrono::system_clock::from_time_t(seconds))
                                .count();
    return (local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) * 1000.0 + fraction;
}

bool WaitForLine(const fs::path& file, const std::string& text, std::chrono::milliseconds limit) {
    return testing_support::eventually(
        [&] { return ReadFile(file).find(text) != std::string::npos; }, limit);
}

// utime + stime of a process in seconds.
double CpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    unsigned long long user = 0;
    unsigned long long system = 0;
    for (int index = 3; fields >> field; ++index) {
        if (index == 14) {
            user = std::stoull(field);
        } else if (index == 15) {
            system = std::stoull(field);
            break;
        }
    }
    return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

std::string StatusField(pid_t pid, const std::string& key) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key + ":", 0) == 0) {
            return line.substr(key.size() + 1);
        }
    }
    return "?";
}

// One thread's context switches (voluntary and not: each is a wake-up) and CPU ticks.
struct ThreadSample {
    std::string name;
    long switches = 0;
    unsigned long long runNanoseconds = 0;
};

// Time the thread has run, in nanoseconds (the first field of its schedstat): finer than the
// clock ticks of stat, which an idle thread rarely reaches.
unsigned long long TaskRunNanoseconds(const fs::path& task) {
    std::istringstream fields(ReadFile(task / "schedstat"));
    unsigned long long nanoseconds = 0;
    fields >> nanoseconds;
    return nanoseconds;
}

// Every thread of a process by thread id.
std::map<long, ThreadSample> SampleThreads(pid_t pid) {
    std::map<long, ThreadSample> threads;
    std::error_code error;
    for (const auto& task :
         fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        ThreadSample sample;
        sample.name = ReadFile(task.path() / "comm");
        if (!sample.name.empty() && sample.name.back() == '\n') {
            sample.name.pop_back();
        }
        std::ifstream status(task.path() / "status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0 ||
                line.rfind("nonvoluntary_ctxt_switches:", 0) == 0) {
                sample.switches += std::atol(line.substr(line.find(':') + 1).c_str());
            }
        }
        sample.runNanoseconds = TaskRunNanoseconds(task.path());
        threads.emplace(std::atol(task.path().filename().c_str()), sample);
    }
    return threads;
}

long WakeUps(const std::map<long, ThreadSample>& threads) {
    long total = 0;
    for (const auto& [id, sample] : threads) {
        total += sample.switches;
    }
    return total;
}

// Wake-ups per second and CPU of each thread over the window.
void PrintThreads(pid_t pid, const std::map<long, ThreadSample>& before,
                  const std::map<long, ThreadSample>& after, double window) {
    for (const auto& [id, sample] : after) {
        const auto earlier = before.find(id);
        const bool old = earlier != before.end();
        const long switches = sample.switches - (old ? earlier->second.switches : 0);
        const unsigned long long ran =
            sample.runNanoseconds - (old ? earlier->second.runNanoseconds : 0);
        std::printf("  thread %-16s %-7s %6.2f wake-ups/s  %7.4f %% of a core%s\n",
                    sample.name.c_str(), id == pid ? "(main)" : "",
                    static_cast<double>(switches) / window,
                    100.0 * static_cast<double>(ran) / 1e9 / window,
                    old ? "" : "  (started during the window)");
    }
}

int Xdotool(const std::string& arguments) {
    return std::system(("timeout 5 xdotool " + arguments + " > /dev/null 2>&1").c_str());
}

}  // namespace

int main() {
    if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr) {
        std::printf(
            "bench_app_run: needs a display; run: xvfb-run -a dbus-run-session -- "
            "build/bin/bench_app_run\n");
        return 0;
    }
    if (std::getenv("DBUS_SESSION_BUS_ADDRESS") == nullptr) {
        std::printf(
            "bench_app_run: no session bus; the start time includes SDL launching one (run it "
            "under dbus-run-session)\n");
    }
    char pattern[] = "/tmp/bench-app-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        return 1;
    }
    const fs::path folder = pattern;
    const fs::path bin = platform::paths::executableFolder();
    const fs::path socket = folder / "sim.sock";
    std::ofstream(folder / "scenario.json")
        << R"json({"devices": [{"address": "70:5A:B6:01:4F:2A", "name": "Auralis+ (4F2A)"}]})json";
    testing_support::ChildProcess sim(
        {(bin / "auralis-sim").string(), "--socket", socket.string(), "--no-http", "--scenario",
         (folder / "scenario.json").string()},
        {.output = folder / "sim.out"});
    testing_support::eventually([&] { return fs::exists(socket); }, 2s);
    const std::vector<std::string> environment = {
        "AURALIS_BACKEND=sim",
        "AURALIS_SIM_SOCKET=" + socket.string(),
        "AURALIS_LOG_STDERR=1",
        "AURALIS_CONFIG_DIR=" + (folder / "config").string(),
        "AURALIS_LOG_DIR=" + (folder / "log").string(),
        "XDG_RUNTIME_DIR=" + folder.string()};
    const fs::path output = folder / "program.out";
    const double started = NowSinceMidnightMs();
    testing_support::ChildProcess program({(bin / "AuralisManager").string()},
                                          {.extraEnvironment = environment, .output = output});
    int result = 0;
    if (!WaitForLine(output, "Main window shown", 20s)) {
        std::printf("bench_app_run: the program did not show its window\n");
        result = 1;
    } else {
        const double shown = StampOfLine(ReadFile(output), "Main window shown").value_or(started);
        std::printf("start to first frame:        %7.1f ms   (budget 300 ms)\n", shown - started);
        std::printf("resident memory, welcome:    %s   (budget 60 MB)\n",
                    StatusField(program.pid(), "VmRSS").c_str());
        std::this_thread::sleep_for(500ms);
        // Connect: the button's middle, 451 units down the centred window.
        Xdotool(
            "mousemove --window $(timeout 5 xdotool search --name '^Auralis Manager$' | head -1) "
            "212 451");
        std::this_thread::sleep_for(200ms);
        Xdotool("click 1");
        if (!WaitForLine(output, "UpdateMainView viewType[4]", 20s)) {
            std::printf("bench_app_run: home screen not reached (is xdotool installed?)\n");
            result = 1;
        } else {
            std::this_thread::sleep_for(2s);
            const double before = CpuSeconds(program.pid());
            const std::map<long, ThreadSample> threadsBefore = SampleThreads(program.pid());
            std::this_thread::sleep_for(kIdleWindow);
            const double used = CpuSeconds(program.pid()) - before;
            const std::map<long, ThreadSample> threadsAfter = SampleThreads(program.pid());
            const double window = std::chrono::duration<double>(kIdleWindow).count();
            std::printf("idle CPU on home over 30 s:  %7.3f %% of a core   (budget 0.1 %%)\n",
                        100.0 * used / window);
            std::printf(
                "idle wake-ups on home:       %7.1f per second   (budget 5)\n",
                static_cast<double>(WakeUps(threadsAfter) - WakeUps(threadsBefore)) / window);
            PrintThreads(program.pid(), threadsBefore, threadsAfter, window);
            std::printf("resident memory, home:       %s; peak %s   (budget 60 MB)\n",
                        StatusField(program.pid(), "VmRSS").c_str(),
                        StatusField(program.pid(), "VmHWM").c_str());
        }
    }
    program.stop();
    sim.stop();
    fs::remove_all(folder);
    return result;
}
