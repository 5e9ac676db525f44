#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include "link/platform/Sockets.h"

namespace orvapi::platform {

int socketLibraryStartup() { return 0; }

void socketLibraryCleanup() {}

int32_t openTcpSocket() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd == 0) {
        // Descriptor 0 would read as "no socket" to the owner: move it elsewhere.
        const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 1);
        const int savedErrno = errno;
        ::close(fd);
        errno = savedErrno;
        fd = moved;
    }
    return fd;
}

int lastSocketError() { return errno; }

bool setReceiveTimeout(int32_t socket, std::chrono::milliseconds timeout) {
    timeval value{};
    value.tv_sec = static_cast<time_t>(timeout.count() / 1000);
    value.tv_usec = static_cast<suseconds_t>((timeout.count() % 1000) * 1000);
    return ::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &value, sizeof value) >= 0;
}

bool connectIPv4(int32_t socket, const std::string& dottedAddress, uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = ::inet_addr(dottedAddress.c_str());
    int result;
    do {
        result = ::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } while (result < 0 && errno == EINTR);
    return result == 0;
}

long sendSome(int32_t socket, const char* data, size_t size) {
    ssize_t sent;
    do {
        sent = ::send(socket, data, size, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    return static_cast<long>(sent);
}

long receiveSome(int32_t socket, char* buffer, size_t size) {
    ssize_t received;
    do {
        received = ::recv(socket, buffer, size, 0);
    } while (received < 0 && errno == EINTR);
    return static_cast<long>(received);
}

void discardPendingInput(int32_t socket) {
    char scratch[512];
    while (::recv(socket, scratch, sizeof scratch, MSG_DONTWAIT) > 0) {
    }
}

void closeSocket(int32_t socket) { ::close(socket); }

}  // namespace orvapi::platform
