#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

#include "sim/gen3/platform/Sockets.h"

namespace photarc::sim::platform {

SocketLibrary::SocketLibrary() = default;

SocketLibrary::~SocketLibrary() = default;

std::system_error socketError(const std::string& what) { return {errno, std::generic_category(), what}; }

Socket bindLoopback(uint16_t port, int backlog) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw socketError("socket");
    const std::string where = (backlog > 0 ? "listen on 127.0.0.1:" : "bind 127.0.0.1:") + std::to_string(port);
    if (backlog > 0) {
        // A fixed port can be served again at once after a previous run.
        const int yes = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        (backlog > 0 && ::listen(fd, backlog) != 0)) {
        const auto failure = socketError(where);
        ::close(fd);
        throw failure;
    }
    return fd;
}

uint16_t localPort(Socket socket) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(static_cast<int>(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw socketError("getsockname");
    return ntohs(address.sin_port);
}

Socket acceptConnection(Socket listener) {
    const int client = ::accept4(static_cast<int>(listener), nullptr, nullptr, SOCK_CLOEXEC);
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
    ::setsockopt(static_cast<int>(socket), IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
}

long receiveSome(Socket socket, char* buffer, size_t size) {
    ssize_t received;
    do {
        received = ::recv(static_cast<int>(socket), buffer, size, 0);
    } while (received < 0 && errno == EINTR);
    return static_cast<long>(received);
}

long sendSome(Socket socket, const char* data, size_t size) {
    ssize_t sent;
    do {
        sent = ::send(static_cast<int>(socket), data, size, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    return static_cast<long>(sent);
}

void shutdownSending(Socket socket) { ::shutdown(static_cast<int>(socket), SHUT_WR); }

void closeSocket(Socket socket) { ::close(static_cast<int>(socket)); }

int waitReadable(std::initializer_list<Socket> sockets, std::chrono::milliseconds timeout) {
    std::vector<pollfd> entries;
    for (const Socket socket : sockets) entries.push_back({static_cast<int>(socket), POLLIN, 0});
    int ready;
    do {
        ready = ::poll(entries.data(), entries.size(), timeout.count() < 0 ? -1 : static_cast<int>(timeout.count()));
    } while (ready < 0 && errno == EINTR);
    for (size_t i = 0; ready > 0 && i < entries.size(); ++i)
        if (entries[i].revents != 0) return static_cast<int>(i);
    return -1;
}

}  // namespace photarc::sim::platform
