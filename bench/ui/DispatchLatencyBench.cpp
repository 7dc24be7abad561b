// bench_ui_dispatch: how long a record posted from a worker thread takes to reach
// Dispatcher_Invoked while the UI thread's loop is idle (blocked in the backend), and the
// process CPU while it handles one post every 10 ms. The backend comes from AURALIS_WINDOW_BACKEND
// (default headless; with sdl a small window is shown, as the loop waits on the display connection
// then).

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <thread>
#include <vector>

#include "platform/window/Backend.h"
#include "ui/IDispatcherInvokeDelegate.h"
#include "ui/SDispatcher.h"
#include "ui/SGUIApp.h"

namespace {

using Clock = std::chrono::steady_clock;

struct StampedArgument : SInvokeArgument {
    explicit StampedArgument(Clock::time_point when) : SInvokeArgument(1, 0), posted(when) {}
    Clock::time_point posted;
};

class Collector : public IDispatcherInvokeDelegate {
public:
    explicit Collector(SDispatcher& dispatcher, int expected)
        : m_dispatcher(dispatcher), m_expected(expected) {}
    void Dispatcher_Invoked(SInvokeArgument* argument) override {
        const auto* stamped = static_cast<StampedArgument*>(argument);
        latencies.push_back(
            std::chrono::duration<double, std::micro>(Clock::now() - stamped->posted).count());
        if (static_cast<int>(latencies.size()) == m_expected) {
            m_dispatcher.Quit();
        }
    }
    std::vector<double> latencies;

private:
    SDispatcher& m_dispatcher;
    int m_expected;
};

double ProcessCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

}  // namespace

int main() {
    std::unique_ptr<platform::window::Backend> backend =
        platform::window::createBackend("headless");
    if (!backend) {
        std::fprintf(stderr, "bench_ui_dispatch: the window backend cannot start\n");
        return 1;
    }
    SGUIApp app(*backend);
    std::unique_ptr<platform::window::Window> window;
    if (std::string(backend->name()) == "sdl") {
        window = backend->createWindow(
            platform::window::WindowOptions{"bench", platform::window::Rect{0, 0, 64, 64}});
        if (window) {
            window->show();
        }
    }
    constexpr int kSamples = 300;
    constexpr auto kGap = std::chrono::milliseconds(10);
    Collector collector(app.GetDispatcher(), kSamples);
    std::atomic<bool> stop{false};
    std::thread worker([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        for (int i = 0; i < kSamples && !stop; ++i) {
            app.GetDispatcher().Post(&collector, std::make_unique<StampedArgument>(Clock::now()));
            std::this_thread::sleep_for(kGap);
        }
    });
    const double cpuBefore = ProcessCpuSeconds();
    const auto wallBefore = Clock::now();
    app.GetDispatcher().Run();
    const double wall = std::chrono::duration<double>(Clock::now() - wallBefore).count();
    const double cpu = ProcessCpuSeconds() - cpuBefore;
    stop = true;
    worker.join();

    std::vector<double> sorted = collector.latencies;
    std::sort(sorted.begin(), sorted.end());
    const auto at = [&](double q) {
        return sorted[static_cast<std::size_t>(q * (sorted.size() - 1))];
    };
    std::printf("backend %s: %zu posts, latency median %.0f us, p99 %.0f us, max %.0f us\n",
                backend->name(), sorted.size(), at(0.5), at(0.99), sorted.back());
    std::printf("process CPU with 100 posts per second: %.2f %% of a core over %.1f s\n",
                100.0 * cpu / wall, wall);
    return 0;
}
