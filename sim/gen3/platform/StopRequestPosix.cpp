#include <csignal>
#include <pthread.h>

#include "sim/gen3/platform/StopRequest.h"

namespace photarc::sim::platform {

namespace {

sigset_t stopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

}  // namespace

void prepareForStopRequest() {
    // A shell starts background jobs with SIGINT ignored; an ignored signal never arrives.
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    // Blocked in every thread started from now on, so only sigwait receives them.
    const sigset_t signals = stopSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

void waitForStopRequest() {
    const sigset_t signals = stopSignals();
    int received = 0;
    sigwait(&signals, &received);
}

}  // namespace photarc::sim::platform
