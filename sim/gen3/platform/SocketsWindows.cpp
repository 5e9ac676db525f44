#include <winsock2.h>
#include <ws2tcpip.h>

#include <vector>

#include "sim/gen3/platform/Sockets.h"

namespace photarc::sim::platform {

namespace {

SOCKET native(Socket socket) { return static_cast<SOCKET>(socket); }

}  // namespace

SocketLibrary::SocketLibrary() {
    WSADATA data;
    if (const int failed = ::WSAStartup(MAKEWORD(2, 2), &data); failed != 0)
        throw std::system_error(failed, std::system_category(), "WSAStartup");
}

SocketLibrary::~SocketLibrary() { ::WSACleanup(); }

std::system_error socketError(const std::string& what) { return {::WSAGetLastError(), std::system_category(), what}; }

Socket bindLoopback(uint16_t port, int backlog) {
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) throw socketError("socket");
    const std::string where = (backlog > 0 ? "listen on 127.0.0.1:" : "bind 127.0.0.1:") + std::to_string(port);
    // No SO_REUSEADDR: on Windows it would let another socket take over a port in use.
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        (backlog > 0 && ::listen(s, backlog) != 0)) {
        const auto failure = socketError(where);
        ::closesocket(s);
        throw failure;
    }
    return static_cast<Socket>(s);
}

uint16_t localPort(Socket socket) {
    sockaddr_in address{};
    int length = sizeof address;
    if (::getsockname(native(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw socketError("getsockname");
    return ntohs(address.sin_port);
}

Socket acceptConnection(Socket listener) {
    const SOCKET client = ::accept(native(listener), nullptr, nullptr);
    return client == INVALID_SOCKET ? kNoSocket : static_cast<Socket>(client);
}

// Winsock has no socketpair: a loopback connection through a listener that exists only for it.
void connectedPair(Socket ends[2]) {
    const Socket listener = bindLoopback(0, 1);
    const SOCKET client = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(localPort(listener));
    Socket server = kNoSocket;
    if (client != INVALID_SOCKET &&
        ::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
        server = acceptConnection(listener);
    if (server == kNoSocket) {
        const auto failure = socketError("socket pair");
        if (client != INVALID_SOCKET) ::closesocket(client);
        closeSocket(listener);
        throw failure;
    }
    closeSocket(listener);
    ends[0] = server;
    ends[1] = static_cast<Socket>(client);
}

void setNoDelay(Socket socket) {
    const BOOL yes = TRUE;
    ::setsockopt(native(socket), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&yes), sizeof yes);
}

long receiveSome(Socket socket, char* buffer, size_t size) {
    const int received = ::recv(native(socket), buffer, static_cast<int>(size), 0);
    return received == SOCKET_ERROR ? -1 : received;
}

long sendSome(Socket socket, const char* data, size_t size) {
    const int sent = ::send(native(socket), data, static_cast<int>(size), 0);
    return sent == SOCKET_ERROR ? -1 : sent;
}

void shutdownSending(Socket socket) { ::shutdown(native(socket), SD_SEND); }

void closeSocket(Socket socket) { ::closesocket(native(socket)); }

int waitReadable(std::initializer_list<Socket> sockets, std::chrono::milliseconds timeout) {
    std::vector<WSAPOLLFD> entries;
    for (const Socket socket : sockets) entries.push_back({native(socket), POLLRDNORM, 0});
    const int ready = ::WSAPoll(entries.data(), static_cast<ULONG>(entries.size()),
                                timeout.count() < 0 ? -1 : static_cast<INT>(timeout.count()));
    for (size_t i = 0; ready > 0 && i < entries.size(); ++i)
        if (entries[i].revents != 0) return static_cast<int>(i);
    return -1;
}

}  // namespace photarc::sim::platform
