#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "link/platform/SerialRead.h"

namespace orvapi::platform {

const bool kCanReadSerialHandle = true;

long readSerialInput(NativeSerialHandle handle, char* buffer, size_t size, std::chrono::milliseconds timeout,
                     std::error_code& error) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd entry{handle, POLLIN, 0};
        const int ready = ::poll(&entry, 1, left.count() > 0 ? static_cast<int>(left.count()) : 0);
        if (ready == 0) {
            error = std::error_code(ETIMEDOUT, std::system_category());
            return -1;
        }
        if (ready < 0 && errno == EINTR) continue;
        // Readable, or a condition that the read itself reports. The handle does not block.
        const ssize_t received = ::read(handle, buffer, size);
        if (received >= 0) return static_cast<long>(received);
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
        error = std::error_code(errno, std::system_category());
        return -1;
    }
}

}  // namespace orvapi::platform
