#include <csignal>
#include <ctime>
#include <pthread.h>

#include "link/platform/BrokenPipe.h"

namespace orvapi::platform {

namespace {

sigset_t pipeSignal() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGPIPE);
    return signals;
}

bool pipeSignalPending() {
    sigset_t pending;
    sigemptyset(&pending);
    return sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1;
}

}  // namespace

BrokenPipeShield::BrokenPipeShield() : wasPending(pipeSignalPending()) {
    const sigset_t signals = pipeSignal();
    sigset_t previous;
    sigemptyset(&previous);
    pthread_sigmask(SIG_BLOCK, &signals, &previous);
    wasBlocked = sigismember(&previous, SIGPIPE) == 1;
}

BrokenPipeShield::~BrokenPipeShield() {
    const sigset_t signals = pipeSignal();
    // Only a signal our write raised is taken; one that was waiting before stays for the host.
    if (!wasPending && pipeSignalPending()) {
        const timespec noWait{0, 0};
        sigtimedwait(&signals, nullptr, &noWait);
    }
    if (!wasBlocked) pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
}

}  // namespace orvapi::platform
