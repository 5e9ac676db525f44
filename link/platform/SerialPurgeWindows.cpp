#include <windows.h>

#include "link/platform/SerialPurge.h"

namespace orvapi::platform {

void purgeSerialInput(NativeSerialHandle handle) {
    (void)::PurgeComm(static_cast<HANDLE>(handle), PURGE_RXABORT | PURGE_RXCLEAR);
}

}  // namespace orvapi::platform
