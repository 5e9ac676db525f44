// What call sites and names remember of the overloads their calls chose: a site its last
// choice, a name its choices for a few lists of argument types (see arg_tags).
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "chai/runtime/names.hpp"
#include "chai/runtime/program.hpp"

namespace chai {

// f, a plain method, is what resolving fns gives for any object of its class followed by any
// values (see choices.cpp).
bool wins_whatever_follows(const FnList& fns, const Callable& f, bool conversions);

inline void remember(Choice& c, const uint32_t* tags, size_t n, const Callable* fn) {
    c.nargs = static_cast<uint8_t>(n);
    std::copy(tags, tags + n, c.tags);
    c.fn = fn;
}

// Inline, as memo_choice: a site whose argument types change remembers on every call.
inline void remember_at(SiteCache& c, const Symbol* sym, uint64_t version, uint32_t epoch, const uint32_t* tags,
                        size_t n, const Callable* fn, bool any_rest) {
    c.sym = sym;
    c.version = version;
    c.epoch = epoch;
    remember(c.choice, tags, n, fn);
    c.choice.any_rest = any_rest;
}

// sym's remembered choice for these argument types, or null. Inline: a site whose argument types
// change on every call asks on every call.
inline const Callable* memo_choice(const Symbol& sym, uint32_t epoch, const uint32_t* tags, size_t n) {
    const ChoiceMemo* m = sym.choices.get();
    if (!m || m->version != sym.version || m->epoch != epoch) return nullptr;
    for (size_t i = 0; i < m->used; ++i)
        if (chose_for(m->entries[i], tags, n)) return m->entries[i].fn;
    return nullptr;
}

void memo_add(const Symbol& sym, uint64_t version, uint32_t epoch, const uint32_t* tags, size_t n,
              const Callable* fn);

}  // namespace chai
