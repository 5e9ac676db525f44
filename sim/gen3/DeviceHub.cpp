#include "sim/gen3/DeviceHub.h"

namespace photarc::sim {

DeviceHub::DeviceHub(DeviceConfig config, Faults faults) : model(std::move(config)), active(faults) {}

ReplyPlan DeviceHub::exchange(const std::string& command, FaultCounter& counter) {
    std::lock_guard<std::mutex> guard(hubMutex);
    const int number = counter.next(generation);
    return planReply(active, number, number == active.busyAt ? model.refuseAsBusy(command) : model.handle(command));
}

void DeviceHub::setFaults(const Faults& faults) {
    std::lock_guard<std::mutex> guard(hubMutex);
    active = faults;
    ++generation;
}

Faults DeviceHub::faults() const {
    std::lock_guard<std::mutex> guard(hubMutex);
    return active;
}

}  // namespace photarc::sim
