#pragma once
// The one device that every front serves: the model behind a lock, plus the faults in force.
#include <mutex>
#include <string>

#include "sim/gen3/DeviceModel.h"
#include "sim/gen3/Faults.h"

namespace photarc::sim {

// Numbers the commands of one link since the faults were last changed.
class FaultCounter {
public:
    int next(unsigned generation) {
        if (generation != seenGeneration) {
            seenGeneration = generation;
            count = 0;
        }
        return ++count;
    }

private:
    unsigned seenGeneration = 0;
    int count = 0;
};

class DeviceHub {
public:
    DeviceHub(DeviceConfig config, Faults faults);

    // Runs one command through the model and plans its delivery under the current faults.
    ReplyPlan exchange(const std::string& command, FaultCounter& counter);
    void setFaults(const Faults& faults);
    Faults faults() const;

private:
    mutable std::mutex hubMutex;
    DeviceModel model;
    Faults active;
    unsigned generation = 1;
};

}  // namespace photarc::sim
