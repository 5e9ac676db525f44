#include <cerrno>
#include <cstring>

#include "tests/link/PlatformExpectations.h"

namespace photarc::testing::platform {

const int kConnectionRefused = ECONNREFUSED;
// A receive time-out on a blocking socket reports "would block".
const int kReceiveTimedOut = EAGAIN;
const char* const kMissingSerialPort = "/dev/photarc-no-such-port";

std::string missingSerialPortReason() { return std::strerror(ENOENT); }

}  // namespace photarc::testing::platform
