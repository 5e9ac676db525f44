// A lock that is only ever tried. The process-wide stores of freed parser memory use it: a thread
// that finds one busy goes to the allocator instead of waiting.
#pragma once
#include <atomic>

namespace chai {

class TryHold {
public:
    explicit TryHold(std::atomic_flag& busy) : busy_(busy), held_(!busy.test_and_set(std::memory_order_acquire)) {}
    ~TryHold() {
        if (held_) busy_.clear(std::memory_order_release);
    }
    TryHold(const TryHold&) = delete;
    TryHold& operator=(const TryHold&) = delete;
    explicit operator bool() const { return held_; }

private:
    std::atomic_flag& busy_;
    bool held_;
};

}  // namespace chai
