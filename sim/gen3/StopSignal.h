#pragma once
// A one-way "stop now" that threads waiting on their sockets (or, on POSIX, any descriptor)
// can wait on alongside them.
#include <chrono>

#include "sim/gen3/platform/Sockets.h"

namespace photarc::sim {

class StopSignal {
public:
    StopSignal();
    ~StopSignal();
    StopSignal(const StopSignal&) = delete;
    StopSignal& operator=(const StopSignal&) = delete;

    void raise();
    // Readable once raised (never drained, so every waiter sees it).
    platform::Socket socket() const { return readEnd; }
    // Pauses for `duration`, ending early when raised; true when raised.
    bool waitFor(std::chrono::milliseconds duration) const;

private:
    platform::SocketLibrary library;
    platform::Socket readEnd = platform::kNoSocket;
    platform::Socket writeEnd = platform::kNoSocket;
};

}  // namespace photarc::sim
