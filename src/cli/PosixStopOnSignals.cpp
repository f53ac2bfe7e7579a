#include <signal.h>

#include <atomic>

#include "cli/LiveClock.h"

namespace qtm::cli {
namespace {

std::atomic<bool> g_stop{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the flag is set in a signal handler");

struct sigaction g_oldInt {};
struct sigaction g_oldTerm {};

extern "C" void OnStopSignal(int signal) {
    g_stop.store(true);
    // A second Ctrl-C should not have to wait for a meter that hangs.
    struct sigaction dflt {};
    dflt.sa_handler = SIG_DFL;
    sigemptyset(&dflt.sa_mask);
    ::sigaction(signal, &dflt, nullptr);
}

}  // namespace

StopOnSignals::StopOnSignals() {
    g_stop.store(false);
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // The port layer retries a wait the signal cuts short; the loop then sees the flag.
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, &g_oldInt);
    ::sigaction(SIGTERM, &action, &g_oldTerm);
}

StopOnSignals::~StopOnSignals() {
    ::sigaction(SIGINT, &g_oldInt, nullptr);
    ::sigaction(SIGTERM, &g_oldTerm, nullptr);
}

std::atomic<bool>& StopOnSignals::Flag() {
    return g_stop;
}

}  // namespace qtm::cli
