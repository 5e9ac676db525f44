#pragma once
// The operating system's handle type for an open serial port.
#ifdef _WIN32
namespace orvapi::platform {
using NativeSerialHandle = void*;  // HANDLE
}
#else
namespace orvapi::platform {
using NativeSerialHandle = int;  // file descriptor
}
#endif
