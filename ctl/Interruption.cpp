#include "ctl/Interruption.h"

#include <atomic>

namespace ctl {
namespace {

volatile std::sig_atomic_t g_requested = 0;

void onSignal(int signal) {
    if (g_requested != 0) {
        // Asked twice: the command did not end in order, so end the program as the signal would.
        std::signal(signal, SIG_DFL);
        std::raise(signal);
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
    sigaction(SIGINT, &action, &m_oldInt);
    sigaction(SIGTERM, &action, &m_oldTerm);
}

Interruption::~Interruption() {
    sigaction(SIGINT, &m_oldInt, nullptr);
    sigaction(SIGTERM, &m_oldTerm, nullptr);
}

bool Interruption::requested() {
    return g_requested != 0;
}

}  // namespace ctl
