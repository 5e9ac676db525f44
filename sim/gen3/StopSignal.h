#pragma once
// A one-way "stop now" that threads waiting on their sockets (or, on POSIX, any descriptor)
// can wait on alongside them.
#include <chrono>

#include "link/platform/Sockets.h"

namespace photarc::sim {

// The socket seam the simulator shares with the library.
namespace net = ::orvapi::platform;

class StopSignal {
public:
    StopSignal();
    ~StopSignal();
    StopSignal(const StopSignal&) = delete;
    StopSignal& operator=(const StopSignal&) = delete;

    void raise();
    // Readable once raised (never drained, so every waiter sees it).
    net::Socket socket() const { return readEnd; }
    // Pauses for `duration`, ending early when raised; true when raised.
    bool waitFor(std::chrono::milliseconds duration) const;

private:
    net::SocketLibrary library;
    net::Socket readEnd = net::kNoSocket;
    net::Socket writeEnd = net::kNoSocket;
};

}  // namespace photarc::sim
