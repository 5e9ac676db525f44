// Platforms without pseudo-terminals: the simulator serves TCP only.
#include "sim/gen3/SerialFront.h"

namespace photarc::sim {

bool serialFrontAvailable() { return false; }

std::unique_ptr<SerialFront> makeSerialFront(DeviceHub&, const StopSignal&) { return nullptr; }

}  // namespace photarc::sim
