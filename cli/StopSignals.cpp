#include "cli/StopSignals.h"

#include <signal.h>
#include <csignal>

namespace zir::cli {

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void NoteStop(int) { stopRequested = 1; }

} // namespace

void InstallStopHandlers() {
    struct sigaction action {};
    action.sa_handler = NoteStop;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a wait in poll() returns at once and looks again.
    action.sa_flags = static_cast<int>(SA_RESETHAND);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool StopRequested() { return stopRequested != 0; }

} // namespace zir::cli
