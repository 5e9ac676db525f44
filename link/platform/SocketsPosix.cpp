#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <vector>

#include "link/platform/Sockets.h"

namespace orvapi::platform {

namespace {

int fd(Socket socket) { return static_cast<int>(socket); }

sockaddr_in ipv4(in_addr_t address, uint16_t port) {
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_port = htons(port);
    result.sin_addr.s_addr = address;
    return result;
}

}  // namespace

int startSocketLibrary() { return 0; }

void stopSocketLibrary() {}

int lastSocketError() { return errno; }

std::system_error socketError(const std::string& what) { return {errno, std::generic_category(), what}; }

Socket openTcpSocket() { return ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP); }

bool setReceiveTimeout(Socket socket, std::chrono::milliseconds timeout) {
    timeval value{};
    value.tv_sec = static_cast<time_t>(timeout.count() / 1000);
    value.tv_usec = static_cast<suseconds_t>((timeout.count() % 1000) * 1000);
    return ::setsockopt(fd(socket), SOL_SOCKET, SO_RCVTIMEO, &value, sizeof value) >= 0;
}

bool connectIPv4(Socket socket, const std::string& dottedAddress, uint16_t port) {
    const sockaddr_in address = ipv4(::inet_addr(dottedAddress.c_str()), port);
    int result;
    do {
        result = ::connect(fd(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } while (result < 0 && errno == EINTR);
    return result == 0;
}

void discardPendingInput(Socket socket) {
    char scratch[512];
    while (::recv(fd(socket), scratch, sizeof scratch, MSG_DONTWAIT) > 0) {
    }
}

Socket bindLoopback(uint16_t port, int backlog) {
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener < 0) throw socketError("socket");
    const std::string where = (backlog > 0 ? "listen on 127.0.0.1:" : "bind 127.0.0.1:") + std::to_string(port);
    if (backlog > 0) {
        // A fixed port can be served again at once after a previous run.
        const int yes = 1;
        ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    }
    const sockaddr_in address = ipv4(htonl(INADDR_LOOPBACK), port);
    if (::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        (backlog > 0 && ::listen(listener, backlog) != 0)) {
        const auto failure = socketError(where);
        ::close(listener);
        throw failure;
    }
    return listener;
}

uint16_t localPort(Socket socket) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(fd(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) throw socketError("getsockname");
    return ntohs(address.sin_port);
}

Socket acceptConnection(Socket listener) {
    const int client = ::accept4(fd(listener), nullptr, nullptr, SOCK_CLOEXEC);
    return client < 0 ? kNoSocket : client;
}

void connectedPair(Socket ends[2]) {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) throw socketError("socketpair");
    ends[0] = fds[0];
    ends[1] = fds[1];
}

void setNoDelay(Socket socket) {
    const int yes = 1;
    ::setsockopt(fd(socket), IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
}

void shutdownSending(Socket socket) { ::shutdown(fd(socket), SHUT_WR); }

int waitReadable(std::initializer_list<Socket> sockets, std::chrono::milliseconds timeout) {
    std::vector<pollfd> entries;
    for (const Socket socket : sockets) entries.push_back({fd(socket), POLLIN, 0});
    int ready;
    do {
        ready = ::poll(entries.data(), entries.size(), timeout.count() < 0 ? -1 : static_cast<int>(timeout.count()));
    } while (ready < 0 && errno == EINTR);
    for (size_t i = 0; ready > 0 && i < entries.size(); ++i)
        if (entries[i].revents != 0) return static_cast<int>(i);
    return -1;
}

long sendSome(Socket socket, const char* data, size_t size) {
    ssize_t sent;
    do {
        sent = ::send(fd(socket), data, size, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    return static_cast<long>(sent);
}

long receiveSome(Socket socket, char* buffer, size_t size) {
    ssize_t received;
    do {
        received = ::recv(fd(socket), buffer, size, 0);
    } while (received < 0 && errno == EINTR);
    return static_cast<long>(received);
}

void closeSocket(Socket socket) { ::close(fd(socket)); }

}  // namespace orvapi::platform
