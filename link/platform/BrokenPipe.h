#pragma once
// Platform seam: writing to a pipe whose reader is gone raises SIGPIPE on POSIX systems, which
// ends the process unless the host set otherwise. Windows has no such signal.

namespace orvapi::platform {

// While it lives, a write on this thread to a broken pipe fails with an error instead of raising
// SIGPIPE. The process's signal dispositions are not changed: the signal is held back for this
// thread only, and one that the write raised is taken away before the thread's mask is restored.
class BrokenPipeShield {
public:
    BrokenPipeShield();
    ~BrokenPipeShield();
    BrokenPipeShield(const BrokenPipeShield&) = delete;
    BrokenPipeShield& operator=(const BrokenPipeShield&) = delete;

private:
    bool wasBlocked = false;
    bool wasPending = false;
};

}  // namespace orvapi::platform
