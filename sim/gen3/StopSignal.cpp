#include "sim/gen3/StopSignal.h"

namespace photarc::sim {

StopSignal::StopSignal() {
    platform::Socket ends[2];
    platform::connectedPair(ends);
    readEnd = ends[0];
    writeEnd = ends[1];
}

StopSignal::~StopSignal() {
    platform::closeSocket(readEnd);
    platform::closeSocket(writeEnd);
}

void StopSignal::raise() {
    const char byte = 1;
    (void)platform::sendSome(writeEnd, &byte, 1);
}

bool StopSignal::waitFor(std::chrono::milliseconds duration) const {
    return platform::waitReadable({readEnd}, duration) == 0;
}

}  // namespace photarc::sim
