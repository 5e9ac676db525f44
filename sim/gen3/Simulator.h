#pragma once
// The simulated light engine with both fronts, ready to use once constructed (listening and
// with its pseudo-terminal open); stops and joins its threads on destruction.
#include <cstdint>
#include <memory>
#include <string>

#include "sim/gen3/DeviceHub.h"
#include "sim/gen3/PtyFront.h"
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
    const std::string& serialPath() const { return pty.serialPath(); }
    // Takes effect from the next command; counts restart on every link.
    void setFaults(const Faults& faults) { hub.setFaults(faults); }

private:
    DeviceHub hub;
    StopSignal stop;
    TcpFront tcp;
    PtyFront pty;
};

}  // namespace photarc::sim
