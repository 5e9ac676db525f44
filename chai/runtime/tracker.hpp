// Freeing reference cycles. Boxes are reference counted, so values that refer to themselves
// (a Vector holding itself, a lambda capturing its own variable, an object whose attribute
// holds the object) are never freed by counting alone. Every engine remembers the boxes made
// while it runs that can hold other boxes; from time to time while scripts run, between runs,
// and when the engine goes away, those that only keep each other alive are emptied, which
// breaks the cycles and lets counting free them.
#pragma once
#include <cstddef>
#include <vector>

#include "chai/runtime/value.hpp"

namespace chai {

class BoxTracker {
public:
    BoxTracker() = default;
    BoxTracker(const BoxTracker&) = delete;
    BoxTracker& operator=(const BoxTracker&) = delete;
    // Boxes still alive (held by the host) stay valid and are simply no longer tracked.
    ~BoxTracker();

    void add(Box* b) {
        boxes_.push_back(b);
        b->track_slot = static_cast<uint32_t>(boxes_.size() - 1);
        b->tracker = this;
    }
    void remove(Box* b) noexcept {
        Box* last = boxes_.back();
        boxes_[b->track_slot] = last;
        last->track_slot = b->track_slot;
        boxes_.pop_back();
        b->tracker = nullptr;
    }
    size_t size() const { return boxes_.size(); }

    // Empties the boxes, objects and functions reachable from the tracked boxes that nothing
    // outside that graph can reach. Safe where every value in use is held by a counted
    // reference (a Value or shared pointer: variables, frames, arguments, temporaries, function
    // tables, the host) or is reached from one; a plain pointer alone does not keep a value.
    // Returns the number of values looked at in what is live (the part a next collection looks
    // at again).
    size_t collect() noexcept;

private:
    std::vector<Box*> boxes_;
};

// Boxes made on this thread while a scope lives are tracked by `t` (scopes nest).
class TrackingScope {
public:
    explicit TrackingScope(BoxTracker* t);
    ~TrackingScope();
    TrackingScope(const TrackingScope&) = delete;
    TrackingScope& operator=(const TrackingScope&) = delete;

private:
    BoxTracker* saved_;
};

}  // namespace chai
