#pragma once
// The simulator's serial side where the platform has one to offer: a pseudo-terminal on POSIX
// systems. Windows builds serve TCP only.
#include <memory>
#include <string>

#include "sim/gen3/DeviceHub.h"
#include "sim/gen3/StopSignal.h"

namespace photarc::sim {

class SerialFront {
public:
    virtual ~SerialFront() = default;
    // What a client opens as its serial port.
    virtual const std::string& serialPath() const = 0;
    virtual void start() = 0;
};

// Whether this platform has a serial front at all.
bool serialFrontAvailable();
// A serial front, not yet started; null where the platform has none.
std::unique_ptr<SerialFront> makeSerialFront(DeviceHub& hub, const StopSignal& stop);

}  // namespace photarc::sim
