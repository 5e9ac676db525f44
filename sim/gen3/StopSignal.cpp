#include "sim/gen3/StopSignal.h"

namespace photarc::sim {

StopSignal::StopSignal() {
    net::Socket ends[2];
    net::connectedPair(ends);
    readEnd = ends[0];
    writeEnd = ends[1];
}

StopSignal::~StopSignal() {
    net::closeSocket(readEnd);
    net::closeSocket(writeEnd);
}

void StopSignal::raise() {
    const char byte = 1;
    (void)net::sendSome(writeEnd, &byte, 1);
}

bool StopSignal::waitFor(std::chrono::milliseconds duration) const {
    return net::waitReadable({readEnd}, duration) == 0;
}

}  // namespace photarc::sim
