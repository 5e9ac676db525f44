#pragma once
// Serves the device on a pseudo-terminal: clients open serialPath() as a serial port and send
// LF-terminated lines; replies end with CR LF. There is no connection to drop: a hang-up
// fault is served as silence.
#include <string>
#include <thread>

#include "sim/gen3/DeviceHub.h"
#include "sim/gen3/PseudoTerminal.h"
#include "sim/gen3/SerialFront.h"
#include "sim/gen3/StopSignal.h"

namespace photarc::sim {

class PtyFront : public SerialFront {
public:
    PtyFront(DeviceHub& hub, const StopSignal& stop);
    // The stop signal must have been raised.
    ~PtyFront() override;
    PtyFront(const PtyFront&) = delete;
    PtyFront& operator=(const PtyFront&) = delete;

    const std::string& serialPath() const override { return pty.slavePath(); }
    void start() override;

private:
    void serve();
    void writeAll(const std::string& bytes);

    DeviceHub& hub;
    const StopSignal& stop;
    PseudoTerminal pty;
    std::thread worker;
};

}  // namespace photarc::sim
