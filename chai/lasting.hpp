// A static object that is never destroyed: for stores that code run from other static objects'
// destructors at exit (a script, say) may still reach. What it holds stays reachable from it.
#pragma once
#include <utility>

namespace chai {

template <class T> class Lasting {
public:
    template <class... A> explicit Lasting(A&&... a) : value_(std::forward<A>(a)...) {}
    ~Lasting() {}
    Lasting(const Lasting&) = delete;
    Lasting& operator=(const Lasting&) = delete;
    T& get() { return value_; }

private:
    union {
        T value_;
    };
};

}  // namespace chai
