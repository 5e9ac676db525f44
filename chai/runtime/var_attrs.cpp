#include "chai/runtime/var_attrs.hpp"

#include <mutex>
#include <unordered_map>

namespace chai {

namespace {
// Engines on different threads may both use the table; entries belong to one engine each.
struct AttrTable {
    std::mutex mu;
    std::unordered_map<const Box*, Map> attrs;
};
AttrTable& table() {
    static AttrTable t;
    return t;
}
}  // namespace

BoxRef var_attr(Box& b, const std::string& name) {
    AttrTable& t = table();
    std::lock_guard<std::mutex> lock(t.mu);
    BoxRef& slot = t.attrs[&b][name];
    b.has_attrs = true;
    track_box(b);
    if (!slot) slot = make_undef();
    return slot;
}

void copy_var_attrs(Box& to, const Box& from, bool clone) {
    Map copy;
    AttrTable& t = table();
    {
        std::lock_guard<std::mutex> lock(t.mu);
        auto it = t.attrs.find(&from);
        if (it != t.attrs.end()) copy = it->second;
    }
    // Cloning may run element copies; done outside the lock.
    if (clone)
        for (auto& [k, v] : copy) v = clone_box(v);
    Map old;
    {
        std::lock_guard<std::mutex> lock(t.mu);
        Map& dst = t.attrs[&to];
        old.swap(dst);
        dst.swap(copy);
    }
    to.has_attrs = true;
    track_box(to);
    // `old` is released here, unlocked: its boxes may carry attributes of their own.
}

void for_each_var_attr(const Box& b, const std::function<void(const BoxRef&)>& f) {
    AttrTable& t = table();
    std::lock_guard<std::mutex> lock(t.mu);
    auto it = t.attrs.find(&b);
    if (it == t.attrs.end()) return;
    for (const auto& kv : it->second)
        if (kv.second) f(kv.second);
}

void drop_var_attrs(Box* b) noexcept {
    Map gone;
    {
        AttrTable& t = table();
        std::lock_guard<std::mutex> lock(t.mu);
        auto it = t.attrs.find(b);
        if (it == t.attrs.end()) return;
        gone.swap(it->second);
        t.attrs.erase(it);
    }
    b->has_attrs = false;
}

}  // namespace chai
