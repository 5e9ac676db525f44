#pragma once
// Platform seam: reading a serial port's input with a time limit, straight from its handle.
#include <chrono>
#include <cstddef>
#include <system_error>

#include "link/platform/NativeHandle.h"

namespace orvapi::platform {

// Whether serial input can be read this way (POSIX: poll, then read). Where it cannot (Windows
// ports are read through overlapped I/O), SerialPort reads through Asio instead.
extern const bool kCanReadSerialHandle;

// Reads what has arrived, waiting at most `timeout` for the first byte. Returns the count read
// (0 at the end of the input), or -1 with `error` set: std::errc::timed_out when nothing came.
long readSerialInput(NativeSerialHandle handle, char* buffer, size_t size, std::chrono::milliseconds timeout,
                     std::error_code& error);

}  // namespace orvapi::platform
