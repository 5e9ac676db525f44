#include "sim/gen3/Simulator.h"

namespace photarc::sim {

Simulator::Simulator(SimulatorOptions options)
    : hub(std::move(options.device), options.faults), tcp(hub, stop, options.tcpPort), pty(hub, stop) {
    try {
        tcp.start();
        pty.start();
    } catch (...) {
        stop.raise();  // a started front must not wait forever in its destructor
        throw;
    }
}

// The fronts join their threads in their own destructors, after this raise.
Simulator::~Simulator() { stop.raise(); }

}  // namespace photarc::sim
