#pragma once
// Which command-line addresses name a serial port: "COM…" everywhere, and on POSIX also a
// device path such as /dev/ttyUSB0 or a pseudo-terminal.
#include <string>

inline bool isSerialAddress(const std::string& address) {
#ifdef _WIN32
    const bool devicePath = false;
#else
    const bool devicePath = !address.empty() && address[0] == '/';
#endif
    return address.compare(0, 3, "COM") == 0 || devicePath;
}
