#pragma once
// Serves the device over TCP on 127.0.0.1, one thread per connection. Commands arrive without
// terminator, one per segment: each received chunk is one command (LF-terminated lines are
// accepted too). Each reply goes out in a single send on a TCP_NODELAY socket.
#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "sim/gen3/DeviceHub.h"
#include "sim/gen3/StopSignal.h"
#include "link/platform/Sockets.h"

namespace photarc::sim {

// The socket seam the simulator shares with the library.
namespace net = ::orvapi::platform;

class TcpFront {
public:
    // Listening when constructed (0 = any free port); throws std::system_error.
    TcpFront(DeviceHub& hub, const StopSignal& stop, uint16_t port);
    // The stop signal must have been raised: joins every thread.
    ~TcpFront();
    TcpFront(const TcpFront&) = delete;
    TcpFront& operator=(const TcpFront&) = delete;

    uint16_t port() const { return boundPort; }
    void start();

private:
    struct Connection {
        std::thread worker;
        std::shared_ptr<std::atomic<bool>> finished;
    };
    void acceptLoop();
    void serve(net::Socket client);
    void reapFinished();

    DeviceHub& hub;
    const StopSignal& stop;
    net::SocketLibrary library;
    net::Socket listener = net::kNoSocket;
    uint16_t boundPort = 0;
    std::thread acceptor;
    std::vector<Connection> connections;  // touched by the acceptor only
};

// The commands in one received chunk: its LF-separated lines (CR dropped), and the rest of the
// chunk when it does not end with LF; empty lines are skipped.
std::vector<std::string> commandsInChunk(const std::string& chunk);

}  // namespace photarc::sim
