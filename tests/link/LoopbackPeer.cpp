#include "tests/link/LoopbackPeer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>

namespace photarc::testing {

namespace {

[[noreturn]] void fail(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

// A TCP socket bound to 127.0.0.1 on a free port; returns the port.
uint16_t bindLoopback(int& fd) {
    fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) fail("socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) fail("bind");
    socklen_t length = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) fail("getsockname");
    return ntohs(address.sin_port);
}

}  // namespace

LoopbackPeer::LoopbackPeer() {
    listenPort = bindLoopback(listener);
    if (::listen(listener, 4) != 0) fail("listen");
}

LoopbackPeer::~LoopbackPeer() {
    closeClient();
    ::close(listener);
}

void LoopbackPeer::accept() {
    client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) fail("accept");
}

std::string LoopbackPeer::receiveSome(size_t limit) {
    std::string buffer(limit, '\0');
    const ssize_t n = ::recv(client, buffer.data(), limit, 0);
    if (n < 0) fail("recv");
    buffer.resize(static_cast<size_t>(n));
    return buffer;
}

std::string LoopbackPeer::receiveExactly(size_t count) {
    std::string bytes;
    while (bytes.size() < count) {
        const std::string piece = receiveSome(count - bytes.size());
        if (piece.empty()) break;
        bytes += piece;
    }
    return bytes;
}

std::string LoopbackPeer::receiveWaiting() {
    std::string bytes;
    char buffer[4096];
    ssize_t n;
    while ((n = ::recv(client, buffer, sizeof buffer, MSG_DONTWAIT)) > 0) bytes.append(buffer, static_cast<size_t>(n));
    return bytes;
}

void LoopbackPeer::send(const std::string& bytes) {
    if (::send(client, bytes.data(), bytes.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(bytes.size())) fail("send");
}

void LoopbackPeer::closeClient() {
    if (client >= 0) ::close(client);
    client = -1;
}

RefusingPort::RefusingPort() { boundPort = bindLoopback(socket); }

RefusingPort::~RefusingPort() { ::close(socket); }

}  // namespace photarc::testing
