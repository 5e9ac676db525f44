#include "sim/gen3/StopSignal.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <system_error>
#include <unistd.h>

namespace photarc::sim {

StopSignal::StopSignal() {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) throw std::system_error(errno, std::generic_category(), "pipe");
    readEnd = ends[0];
    writeEnd = ends[1];
}

StopSignal::~StopSignal() {
    ::close(readEnd);
    ::close(writeEnd);
}

void StopSignal::raise() {
    const char byte = 1;
    (void)!::write(writeEnd, &byte, 1);
}

bool StopSignal::waitFor(std::chrono::milliseconds duration) const {
    pollfd entry{readEnd, POLLIN, 0};
    return ::poll(&entry, 1, static_cast<int>(duration.count())) > 0;
}

}  // namespace photarc::sim
