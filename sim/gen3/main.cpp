// photarc-sim: a simulated current-generation light engine for developing without hardware.
#include <iostream>

#include "sim/gen3/CommandLine.h"
#include "sim/gen3/platform/StopRequest.h"

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

    platform::prepareForStopRequest();
    try {
        Simulator simulator(line.options);
        std::cout << simulator.serialPath() << '\n' << simulator.tcpPort() << std::endl;
        platform::waitForStopRequest();
    } catch (const std::exception& failure) {
        std::cerr << "photarc-sim: " << failure.what() << '\n';
        return 1;
    }
    return 0;
}
