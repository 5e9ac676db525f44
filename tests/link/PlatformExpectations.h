#pragma once
// What tests expect to differ by platform: error numbers in TCP messages are errno values on
// POSIX systems and Winsock codes on Windows; serial ports are device paths or COM names.
#include <string>

namespace photarc::testing::platform {

extern const int kConnectionRefused;  // 111 on Linux, 10061 (WSAECONNREFUSED) on Windows
extern const int kReceiveTimedOut;    // 11 (EAGAIN) on Linux, 10060 (WSAETIMEDOUT) on Windows
// A serial port that does not exist, and the reason the system gives for not opening it.
extern const char* const kMissingSerialPort;
std::string missingSerialPortReason();

}  // namespace photarc::testing::platform
