#pragma once
// The command line of photarc-sim.
#include <string>

#include "sim/gen3/Simulator.h"

namespace photarc::sim {

struct CommandLine {
    SimulatorOptions options;
    bool help = false;
    std::string error;  // non-empty when the arguments were not understood
};

CommandLine parseCommandLine(int argc, const char* const* argv);
extern const char* const kUsage;

}  // namespace photarc::sim
