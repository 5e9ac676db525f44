#include "tests/link/LoopbackPeer.h"

namespace photarc::testing {

namespace net = orvapi::platform;

LoopbackPeer::LoopbackPeer() : listener(net::bindLoopback(0, 4)), listenPort(net::localPort(listener)) {}

LoopbackPeer::~LoopbackPeer() {
    closeClient();
    net::closeSocket(listener);
}

void LoopbackPeer::accept() {
    client = net::acceptConnection(listener);
    if (client == net::kNoSocket) throw net::socketError("accept");
}

std::string LoopbackPeer::receiveSome(size_t limit) {
    std::string buffer(limit, '\0');
    const long n = net::receiveSome(client, buffer.data(), limit);
    if (n < 0) throw net::socketError("recv");
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
    long n;
    while (net::waitReadable({client}, std::chrono::milliseconds(0)) == 0 &&
           (n = net::receiveSome(client, buffer, sizeof buffer)) > 0)
        bytes.append(buffer, static_cast<size_t>(n));
    return bytes;
}

void LoopbackPeer::send(const std::string& bytes) {
    if (net::sendSome(client, bytes.data(), bytes.size()) != static_cast<long>(bytes.size())) throw net::socketError("send");
}

void LoopbackPeer::closeClient() {
    if (client != net::kNoSocket) net::closeSocket(client);
    client = net::kNoSocket;
}

RefusingPort::RefusingPort() : socket(net::bindLoopback(0, 0)), boundPort(net::localPort(socket)) {}

RefusingPort::~RefusingPort() { net::closeSocket(socket); }

}  // namespace photarc::testing
