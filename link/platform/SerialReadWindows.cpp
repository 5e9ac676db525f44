#include "link/platform/SerialRead.h"

namespace orvapi::platform {

const bool kCanReadSerialHandle = false;

long readSerialInput(NativeSerialHandle, char*, size_t, std::chrono::milliseconds, std::error_code& error) {
    error = std::make_error_code(std::errc::operation_not_supported);
    return -1;
}

}  // namespace orvapi::platform
