// A list whose elements never move once made (resolved nodes point at them), with the first few
// inside the list itself: a host may resolve a short script per call, and a deque takes several
// blocks from the allocator before its first element.
#pragma once
#include <cstddef>
#include <deque>
#include <memory>
#include <optional>
#include <utility>

namespace chai {

template <class T, size_t InPlace> class StableList {
public:
    StableList() = default;
    StableList(const StableList&) = delete;
    StableList& operator=(const StableList&) = delete;

    template <class... A> T& emplace_back(A&&... args) {
        if (used_ < InPlace) {
            T& t = first_[used_].emplace(std::forward<A>(args)...);
            ++used_;
            return t;
        }
        if (!more_) more_ = std::make_unique<std::deque<T>>();
        return more_->emplace_back(std::forward<A>(args)...);
    }
    T& operator[](size_t i) { return i < InPlace ? *first_[i] : (*more_)[i - InPlace]; }
    const T& operator[](size_t i) const { return i < InPlace ? *first_[i] : (*more_)[i - InPlace]; }
    // f(element) for each, in the order they were made.
    template <class F> void each(F&& f) {
        for (size_t i = 0; i < used_; ++i) f(*first_[i]);
        if (more_)
            for (T& t : *more_) f(t);
    }

private:
    std::optional<T> first_[InPlace];
    size_t used_ = 0;
    std::unique_ptr<std::deque<T>> more_;
};

}  // namespace chai
