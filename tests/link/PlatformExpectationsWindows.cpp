#include <windows.h>

#include "tests/link/PlatformExpectations.h"

namespace photarc::testing::platform {

const int kConnectionRefused = 10061;
const int kReceiveTimedOut = 10060;
const char* const kMissingSerialPort = "COM77";

// The system's own text, full stop included; only the line end goes.
std::string missingSerialPortReason() {
    char text[512] = {};
    DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                    ERROR_FILE_NOT_FOUND, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text,
                                    sizeof text, nullptr);
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r')) --length;
    return std::string(text, length);
}

}  // namespace photarc::testing::platform
