#include "platform/Termination.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <system_error>
#include <thread>

#include "platform/posix/ExclusiveLines.h"

namespace platform {
namespace {

void (*runBeforeEnd)() = nullptr;

// The termination signals that would end this process as it was started: not those it was told
// to ignore, nor those blocked when it started (a request for later, or for never, which may
// already be pending), and none at all in the first process of a PID namespace, whose kernel
// drops every signal that would end it by default.
sigset_t TerminationSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    if (getpid() == 1) {
        return signals;
    }
    sigset_t blockedAtStart;
    pthread_sigmask(SIG_BLOCK, nullptr, &blockedAtStart);
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction current {};
        if (sigaction(signalNumber, nullptr, &current) == 0 && current.sa_handler != SIG_IGN &&
            sigismember(&blockedAtStart, signalNumber) == 0) {
            sigaddset(&signals, signalNumber);
        }
    }
    return signals;
}

// Every other thread keeps the signals blocked, so that they reach only this one: it takes the
// first, runs the last step, and lets the signal's default action end the process here.
void WaitForTermination(sigset_t signals) {
    int signalNumber = 0;
    while (sigwait(&signals, &signalNumber) != 0) {
    }
    runBeforeEnd();
    ReleaseExclusiveLines();
    signal(signalNumber, SIG_DFL);
    sigset_t taken;
    sigemptyset(&taken);
    sigaddset(&taken, signalNumber);
    pthread_sigmask(SIG_UNBLOCK, &taken, nullptr);
    raise(signalNumber);
}

}  // namespace

bool HandleTerminationRequests(void (*beforeEnd)()) {
    runBeforeEnd = beforeEnd;
    const sigset_t signals = TerminationSignals();
    if (sigisemptyset(&signals)) {
        return true;  // nothing to take over: every request meets the process as it would
    }
    // Threads inherit the mask of the thread that starts them.
    if (pthread_sigmask(SIG_BLOCK, &signals, nullptr) != 0) {
        return false;
    }
    try {
        // It lives as long as the process, which its signal or the end of main ends.
        std::thread(WaitForTermination, signals).detach();
    } catch (const std::system_error&) {
        pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
        return false;
    }
    return true;
}

}  // namespace platform
