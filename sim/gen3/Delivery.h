#pragma once
// Carries out a reply plan on any link: the delay, then each part with the pause between.
#include "sim/gen3/Faults.h"
#include "sim/gen3/StopSignal.h"

namespace photarc::sim {

// Returns false when stopped part-way.
template <class Write>
bool deliver(const ReplyPlan& plan, const StopSignal& stop, Write write) {
    if (plan.delay.count() > 0 && stop.waitFor(plan.delay)) return false;
    for (size_t i = 0; i < plan.parts.size(); ++i) {
        if (i > 0 && stop.waitFor(plan.pause)) return false;
        write(plan.parts[i]);
    }
    return true;
}

}  // namespace photarc::sim
