#include "chai/char_ref.hpp"

#include <mutex>
#include <unordered_map>

namespace chai {

namespace {
struct Link {
    BoxRef str;
    size_t index = 0;
};
// Engines on different threads may both use the table; entries belong to one engine each.
struct LinkTable {
    std::mutex mu;
    std::unordered_map<const Box*, Link> links;
};
LinkTable& table() {
    static LinkTable t;
    return t;
}
}  // namespace

BoxRef make_char_ref(const BoxRef& str, size_t index) {
    BoxRef c = num_box(std::get<std::string>(str->v)[index]);
    LinkTable& t = table();
    std::lock_guard<std::mutex> lock(t.mu);
    t.links[c.get()] = Link{str, index};
    c->char_ref = true;
    return c;
}

void write_back_char(const Box& b) {
    LinkTable& t = table();
    std::lock_guard<std::mutex> lock(t.mu);
    auto it = t.links.find(&b);
    if (it == t.links.end()) return;
    auto* s = std::get_if<std::string>(&it->second.str->v);
    if (s && it->second.index < s->size() && b.is_num()) (*s)[it->second.index] = b.num().as<char>();
}

void drop_char_ref(Box* b) noexcept {
    BoxRef str;  // released after the lock
    {
        LinkTable& t = table();
        std::lock_guard<std::mutex> lock(t.mu);
        auto it = t.links.find(b);
        if (it == t.links.end()) return;
        str = std::move(it->second.str);
        t.links.erase(it);
    }
    b->char_ref = false;
}

}  // namespace chai
