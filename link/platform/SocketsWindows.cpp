#include <winsock2.h>
#include <ws2tcpip.h>

#include <vector>

#include "link/platform/Sockets.h"

namespace orvapi::platform {

namespace {

SOCKET native(Socket socket) { return static_cast<SOCKET>(socket); }

sockaddr_in ipv4(ULONG address, uint16_t port) {
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_port = htons(port);
    result.sin_addr.s_addr = address;
    return result;
}

}  // namespace

int startSocketLibrary() {
    WSADATA data;
    return ::WSAStartup(MAKEWORD(2, 2), &data);
}

void stopSocketLibrary() { ::WSACleanup(); }

int lastSocketError() { return ::WSAGetLastError(); }

std::system_error socketError(const std::string& what) { return {::WSAGetLastError(), std::system_category(), what}; }

Socket openTcpSocket() {
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    return s == INVALID_SOCKET ? kNoSocket : static_cast<Socket>(s);
}

bool setReceiveTimeout(Socket socket, std::chrono::milliseconds timeout) {
    const DWORD value = static_cast<DWORD>(timeout.count());
    return ::setsockopt(native(socket), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&value), sizeof value) >=
           0;
}

bool connectIPv4(Socket socket, const std::string& dottedAddress, uint16_t port) {
    const sockaddr_in address = ipv4(::inet_addr(dottedAddress.c_str()), port);
    return ::connect(native(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

void discardPendingInput(Socket socket) {
    char scratch[512];
    u_long waiting = 0;
    while (::ioctlsocket(native(socket), FIONREAD, &waiting) == 0 && waiting > 0) {
        if (::recv(native(socket), scratch, sizeof scratch, 0) <= 0) break;
    }
}

Socket bindLoopback(uint16_t port, int backlog) {
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) throw socketError("socket");
    const std::string where = (backlog > 0 ? "listen on 127.0.0.1:" : "bind 127.0.0.1:") + std::to_string(port);
    // No SO_REUSEADDR: on Windows it would let another socket take over a port in use.
    const sockaddr_in address = ipv4(htonl(INADDR_LOOPBACK), port);
    if (::bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
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
    const Socket client = openTcpSocket();
    Socket server = kNoSocket;
    if (client != kNoSocket && connectIPv4(client, "127.0.0.1", localPort(listener)))
        server = acceptConnection(listener);
    if (server == kNoSocket) {
        const auto failure = socketError("socket pair");
        if (client != kNoSocket) closeSocket(client);
        closeSocket(listener);
        throw failure;
    }
    closeSocket(listener);
    ends[0] = server;
    ends[1] = client;
}

void setNoDelay(Socket socket) {
    const BOOL yes = TRUE;
    ::setsockopt(native(socket), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&yes), sizeof yes);
}

void shutdownSending(Socket socket) { ::shutdown(native(socket), SD_SEND); }

int waitReadable(std::initializer_list<Socket> sockets, std::chrono::milliseconds timeout) {
    std::vector<WSAPOLLFD> entries;
    for (const Socket socket : sockets) entries.push_back({native(socket), POLLRDNORM, 0});
    const int ready = ::WSAPoll(entries.data(), static_cast<ULONG>(entries.size()),
                                timeout.count() < 0 ? -1 : static_cast<INT>(timeout.count()));
    for (size_t i = 0; ready > 0 && i < entries.size(); ++i)
        if (entries[i].revents != 0) return static_cast<int>(i);
    return -1;
}

long sendSome(Socket socket, const char* data, size_t size) {
    const int sent = ::send(native(socket), data, static_cast<int>(size), 0);
    return sent == SOCKET_ERROR ? -1 : sent;
}

long receiveSome(Socket socket, char* buffer, size_t size) {
    const int received = ::recv(native(socket), buffer, static_cast<int>(size), 0);
    return received == SOCKET_ERROR ? -1 : received;
}

void closeSocket(Socket socket) { ::closesocket(native(socket)); }

}  // namespace orvapi::platform
