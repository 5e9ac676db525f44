#pragma once
// A one-way "stop now" that threads blocked in poll() can wait on alongside their sockets.
#include <chrono>

namespace photarc::sim {

class StopSignal {
public:
    StopSignal();
    ~StopSignal();
    StopSignal(const StopSignal&) = delete;
    StopSignal& operator=(const StopSignal&) = delete;

    void raise();
    // Readable once raised (never drained, so every waiter sees it).
    int fd() const { return readEnd; }
    // Pauses for `duration`, ending early when raised; true when raised.
    bool waitFor(std::chrono::milliseconds duration) const;

private:
    int readEnd = -1;
    int writeEnd = -1;
};

}  // namespace photarc::sim
