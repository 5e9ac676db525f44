#include <termios.h>

#include "link/platform/SerialPurge.h"

namespace orvapi::platform {

void purgeSerialInput(NativeSerialHandle handle) { (void)::tcflush(handle, TCIFLUSH); }

}  // namespace orvapi::platform
