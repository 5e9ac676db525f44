#pragma once
// The simulated light engine with its fronts (TCP, and a pseudo-terminal where the platform has
// them), ready to use once constructed: listening, its pseudo-terminal open. Stops and joins
// its threads on destruction.
#include <cstdint>
#include <memory>
#include <string>

#include "sim/gen3/DeviceHub.h"
#include "sim/gen3/SerialFront.h"
#include "sim/gen3/StopSignal.h"
#include "sim/gen3/TcpFront.h"

namespace photarc::sim {

struct SimulatorOptions {
    DeviceConfig device;
    Faults faults;
    uint16_t tcpPort = 0;  // 0 = any free port
};

class Simulator {
public:
    explicit Simulator(SimulatorOptions options = {});
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    uint16_t tcpPort() const { return tcp.port(); }
    // The serial device path; empty where the platform has no serial front.
    const std::string& serialPath() const;
    // Takes effect from the next command; counts restart on every link.
    void setFaults(const Faults& faults) { hub.setFaults(faults); }

private:
    DeviceHub hub;
    StopSignal stop;
    TcpFront tcp;
    std::unique_ptr<SerialFront> serial;
};

}  // namespace photarc::sim
