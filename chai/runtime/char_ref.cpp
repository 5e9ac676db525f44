#include "chai/runtime/char_ref.hpp"

#include <mutex>
#include <unordered_map>

namespace chai {

namespace {
struct Link {
    BoxRef str;
    size_t index = 0;
    std::function<void(const Box&)> write;  // host references only
};
// Engines on different threads may both use the table; entries belong to one engine each.
struct LinkTable {
    std::mutex mu;
    std::unordered_map<Box*, Link> links;
};
LinkTable& table() {
    static LinkTable t;
    return t;
}

// Stores a changed char box into its string (the table is locked).
void write_char(LinkTable& t, const Link& link, const Box& b) {
    auto* s = b.is_num() ? std::get_if<std::string>(&link.str->v) : nullptr;
    if (!s || link.index >= s->size()) return;
    char c = b.num().as<char>();
    (*s)[link.index] = c;
    // Other live references to the same char see the change (there are rarely more than a few).
    for (auto& [other, l] : t.links)
        if (other != &b && l.str == link.str && l.index == link.index && other->is_num()) other->num() = Number::make(c);
}
}  // namespace

BoxRef make_char_ref(const BoxRef& str, size_t index) {
    BoxRef c = num_box(std::get<std::string>(str->v)[index]);
    LinkTable& t = table();
    std::lock_guard<std::mutex> lock(t.mu);
    t.links[c.get()] = Link{str, index, {}};
    c->char_ref = true;
    return c;
}

BoxRef make_host_ref(BoxRef value, std::function<void(const Box&)> write) {
    LinkTable& t = table();
    std::lock_guard<std::mutex> lock(t.mu);
    t.links[value.get()] = Link{BoxRef(), 0, std::move(write)};
    value->char_ref = true;
    value->is_temp = false;
    return value;
}

void write_back_char(const Box& b) {
    std::function<void(const Box&)> write;
    {
        LinkTable& t = table();
        std::lock_guard<std::mutex> lock(t.mu);
        auto it = t.links.find(const_cast<Box*>(&b));
        if (it == t.links.end()) return;
        if (!it->second.write) return write_char(t, it->second, b);
        write = it->second.write;
    }
    write(b);
}

void drop_char_ref(Box* b) noexcept {
    BoxRef str;  // released after the lock
    std::function<void(const Box&)> write;
    {
        LinkTable& t = table();
        std::lock_guard<std::mutex> lock(t.mu);
        auto it = t.links.find(b);
        if (it == t.links.end()) return;
        str = std::move(it->second.str);
        write = std::move(it->second.write);
        t.links.erase(it);
    }
    b->char_ref = false;
}

}  // namespace chai
