// auralis-sim: virtual earbuds of both generations and a local update server.

#include <signal.h>

#include <cstdio>
#include <string>

#include "auralis/Version.h"
#include "base/Log.h"
#include "sim/Scenario.h"
#include "sim/SimOptions.h"
#include "sim/Simulator.h"

namespace {

// Blocks SIGINT and SIGTERM in every thread (threads inherit the mask), so that the main thread
// alone takes them with sigwait and stops the sim in order.
sigset_t blockStopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    return signals;
}

}  // namespace

int main(int argc, char** argv) {
    sim::SimOptions options;
    std::string error;
    if (!sim::SimOptions::parse(argc, argv, options, &error)) {
        std::fprintf(stderr, "auralis-sim: %s\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(sim::SimOptions::usage().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("auralis-sim %s\n", AURALIS_VERSION);
        return 0;
    }
    base::log::installFatalSignalFlush();
    if (options.logLevel) {
        base::log::setLevel(*options.logLevel);
    }
    base::log::Options logOptions;
    logOptions.name = "auralis-sim";
    logOptions.toStderr = options.verbose;
    base::log::configure(logOptions);

    sim::SimConfig config = sim::Scenario::defaults();
    if (!options.scenario.empty() && !sim::Scenario::load(options.scenario, config, &error)) {
        std::fprintf(stderr, "auralis-sim: %s\n", error.c_str());
        return 2;
    }
    config.demo = options.demo;
    config.echoFailures = !options.verbose;  // with -v the whole log goes to stderr already
    if (!options.socket.empty()) {
        config.socketPath = options.socket;
    }
    if (options.httpPort) {
        config.server.port = *options.httpPort;
    }
    if (options.noHttp) {
        config.server.enabled = false;
    }
    if (!options.transcript.empty()) {
        config.transcriptFolder = options.transcript;
    }
    if (!options.installer.empty()) {
        config.server.app.installer = options.installer;
    }

    const sigset_t stopSignals = blockStopSignals();
    sim::Simulator simulator(config);
    if (!simulator.start(&error)) {
        std::fprintf(stderr, "auralis-sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("neighbourhood: %s\n", simulator.socketPath().c_str());
    if (!simulator.updateServerUrl().empty()) {
        std::printf("update server: %s\n", simulator.updateServerUrl().c_str());
    }
    std::fflush(stdout);

    int received = 0;
    sigwait(&stopSignals, &received);
    _Log(LOG_INFO, "main", __LINE__, "signal %d: stopping", received);
    simulator.stop();
    base::log::flush();
    return 0;
}
