#include "sim/gen3/Simulator.h"

namespace photarc::sim {

Simulator::Simulator(SimulatorOptions options)
    : hub(std::move(options.device), options.faults), tcp(hub, stop, options.tcpPort), serial(makeSerialFront(hub, stop)) {
    try {
        tcp.start();
        if (serial) serial->start();
    } catch (...) {
        stop.raise();  // a started front must not wait forever in its destructor
        throw;
    }
}

// The fronts join their threads in their own destructors, after this raise.
Simulator::~Simulator() { stop.raise(); }

const std::string& Simulator::serialPath() const {
    static const std::string none;
    return serial ? serial->serialPath() : none;
}

}  // namespace photarc::sim
