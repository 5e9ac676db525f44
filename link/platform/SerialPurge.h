#pragma once
// Platform seam: discard a serial port's pending input (and abort reads in progress).
#include "link/platform/NativeHandle.h"

namespace orvapi::platform {

// The result of the operating system call is deliberately ignored: a failed purge at worst
// leaves stale bytes that the reply parser rejects.
void purgeSerialInput(NativeSerialHandle handle);

}  // namespace orvapi::platform
