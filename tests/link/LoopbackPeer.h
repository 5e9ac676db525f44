#pragma once
// The far end of a TCP link in tests: a listening socket on 127.0.0.1 and, once a client has
// connected, the accepted socket with small blocking helpers.
#include <cstdint>
#include <string>

#include "link/platform/Sockets.h"

namespace photarc::testing {

class LoopbackPeer {
public:
    LoopbackPeer();  // listens on a free port
    ~LoopbackPeer();
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    uint16_t port() const { return listenPort; }
    // Accepts the client that connected (the kernel finished the handshake already).
    void accept();
    // One receive of at most `limit` bytes (empty when the client closed).
    std::string receiveSome(size_t limit = 4096);
    // Receives exactly `count` bytes (fewer only when the client closed).
    std::string receiveExactly(size_t count);
    // Bytes already waiting, without blocking.
    std::string receiveWaiting();
    void send(const std::string& bytes);
    void closeClient();

private:
    orvapi::platform::SocketLibrary library;
    orvapi::platform::Socket listener;
    orvapi::platform::Socket client = orvapi::platform::kNoSocket;
    uint16_t listenPort;
};

// A port on 127.0.0.1 where nothing listens (bound, so no one else takes it meanwhile).
class RefusingPort {
public:
    RefusingPort();
    ~RefusingPort();
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;
    uint16_t port() const { return boundPort; }

private:
    orvapi::platform::SocketLibrary library;
    orvapi::platform::Socket socket;
    uint16_t boundPort;
};

}  // namespace photarc::testing
