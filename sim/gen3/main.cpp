// photarc-sim: a simulated current-generation light engine for developing without hardware.
#include <csignal>
#include <iostream>
#include <pthread.h>

#include "sim/gen3/CommandLine.h"

int main(int argc, char** argv) {
    using namespace photarc::sim;
    const CommandLine line = parseCommandLine(argc, argv);
    if (line.help) {
        std::cout << kUsage;
        return 0;
    }
    if (!line.error.empty()) {
        std::cerr << "photarc-sim: " << line.error << "\n\n" << kUsage;
        return 2;
    }

    // Block the stop signals before any thread starts, so only sigwait below receives them.
    // A shell starts background jobs with SIGINT ignored; an ignored signal never arrives.
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    try {
        Simulator simulator(line.options);
        std::cout << simulator.serialPath() << '\n' << simulator.tcpPort() << std::endl;
        int received = 0;
        sigwait(&stopSignals, &received);
    } catch (const std::exception& failure) {
        std::cerr << "photarc-sim: " << failure.what() << '\n';
        return 1;
    }
    return 0;
}
