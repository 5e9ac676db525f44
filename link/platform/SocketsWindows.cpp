#include <winsock2.h>
#include <ws2tcpip.h>

#include "link/platform/Sockets.h"

namespace orvapi::platform {

int socketLibraryStartup() {
    WSADATA data;
    return ::WSAStartup(MAKEWORD(2, 2), &data);
}

void socketLibraryCleanup() { ::WSACleanup(); }

int32_t openTcpSocket() {
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return -1;
    return static_cast<int32_t>(s);
}

int lastSocketError() { return ::WSAGetLastError(); }

bool setReceiveTimeout(int32_t socket, std::chrono::milliseconds timeout) {
    const DWORD value = static_cast<DWORD>(timeout.count());
    return ::setsockopt(static_cast<SOCKET>(socket), SOL_SOCKET, SO_RCVTIMEO,
                        reinterpret_cast<const char*>(&value), sizeof value) >= 0;
}

bool connectIPv4(int32_t socket, const std::string& dottedAddress, uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = ::inet_addr(dottedAddress.c_str());
    return ::connect(static_cast<SOCKET>(socket), reinterpret_cast<const sockaddr*>(&address),
                     sizeof address) == 0;
}

long sendSome(int32_t socket, const char* data, size_t size) {
    const int sent = ::send(static_cast<SOCKET>(socket), data, static_cast<int>(size), 0);
    return sent == SOCKET_ERROR ? -1 : sent;
}

long receiveSome(int32_t socket, char* buffer, size_t size) {
    const int received = ::recv(static_cast<SOCKET>(socket), buffer, static_cast<int>(size), 0);
    return received == SOCKET_ERROR ? -1 : received;
}

void discardPendingInput(int32_t socket) {
    char scratch[512];
    u_long waiting = 0;
    while (::ioctlsocket(static_cast<SOCKET>(socket), FIONREAD, &waiting) == 0 && waiting > 0) {
        if (::recv(static_cast<SOCKET>(socket), scratch, sizeof scratch, 0) <= 0) break;
    }
}

void closeSocket(int32_t socket) { ::closesocket(static_cast<SOCKET>(socket)); }

}  // namespace orvapi::platform
