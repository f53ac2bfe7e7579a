#include <windows.h>

#include <atomic>

#include "cli/LiveClock.h"

namespace qtm::cli {
namespace {

std::atomic<bool> g_stop{false};

// Runs on a thread of its own that the console starts for Ctrl-C and Ctrl-Break, as SIGINT
// does on Linux: the first one asks the run to end, a second one is left to the default
// handler, which ends the program, so a hanging meter need not be waited for.
BOOL WINAPI OnConsoleControl(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
    return g_stop.exchange(true) ? FALSE : TRUE;
}

}  // namespace

StopOnSignals::StopOnSignals() {
    g_stop.store(false);
    ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

StopOnSignals::~StopOnSignals() {
    ::SetConsoleCtrlHandler(OnConsoleControl, FALSE);
}

std::atomic<bool>& StopOnSignals::Flag() {
    return g_stop;
}

}  // namespace qtm::cli
