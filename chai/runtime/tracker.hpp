// Freeing reference cycles. Boxes are reference counted, so values that refer to themselves
// (a Vector holding itself, a lambda capturing its own variable, an object whose attribute
// holds the object) are never freed by counting alone. Every engine remembers the boxes made
// while it runs that can hold other boxes; when the engine goes away (and between runs of an
// engine kept for long), those that only keep each other alive are emptied, which breaks the
// cycles and lets counting free them.
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
    // outside that graph can reach. Only safe while no evaluation runs in the engine: values in
    // use must be held by counted references (variables, function tables, the host), not by
    // plain pointers.
    void collect() noexcept;

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
