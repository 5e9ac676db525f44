// One spare object for the whole process: what the last user left, emptied, for the next. A host
// may parse and resolve a script per call, and the lists these passes build are blocks from the
// allocator each time. The spare is only tried: a thread that finds it busy goes without.
#pragma once
#include <atomic>
#include <utility>

#include "chai/lasting.hpp"
#include "chai/syntax/try_hold.hpp"

namespace chai {

template <class T> class Spare {
public:
    Spare() = default;
    Spare(const Spare&) = delete;
    Spare& operator=(const Spare&) = delete;

    // The spare (empty if busy or none is kept).
    T take() {
        T out;
        if (TryHold hold(busy_); hold) std::swap(out, held_.get());
        return out;
    }
    // Keeps v, emptied by the caller, in place of the spare held when better(v, held) says so.
    template <class Better> void keep(T& v, Better better) {
        if (TryHold hold(busy_); hold && better(v, held_.get())) std::swap(v, held_.get());
    }

private:
    std::atomic_flag busy_ = ATOMIC_FLAG_INIT;
    Lasting<T> held_;  // code run at exit may still parse
};

}  // namespace chai
