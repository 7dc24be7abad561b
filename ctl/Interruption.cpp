#include "ctl/Interruption.h"

#include <signal.h>

namespace ctl {
namespace {

volatile std::sig_atomic_t g_requested = 0;
// The handlers in place before, which a second signal goes to (the log's flush for SIGTERM).
struct sigaction g_previousInt {};
struct sigaction g_previousTerm {};

void onSignal(int signal) {
    if (g_requested != 0) {
        // Asked twice: the command did not end in order, so the signal does what it did before.
        ::sigaction(signal, signal == SIGINT ? &g_previousInt : &g_previousTerm, nullptr);
        ::raise(signal);
        return;
    }
    g_requested = 1;
}

}  // namespace

Interruption::Interruption() {
    g_requested = 0;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &g_previousInt);
    sigaction(SIGTERM, &action, &g_previousTerm);
}

Interruption::~Interruption() {
    sigaction(SIGINT, &g_previousInt, nullptr);
    sigaction(SIGTERM, &g_previousTerm, nullptr);
}

bool Interruption::requested() {
    return g_requested != 0;
}

}  // namespace ctl
