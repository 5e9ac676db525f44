// What call sites and names remember of the overloads their calls chose.
#include "chai/runtime/choices.hpp"

#include <memory>

namespace chai {

// f, a plain method, is what resolving fns gives for any object of its class followed by any
// values: every other function either cannot take such an object without a conversion, or has
// more untyped parameters than f and so is tried after it. Sets and script conversions can take
// anything: with them nothing is certain.
bool wins_whatever_follows(const FnList& fns, const Callable& f, bool conversions) {
    if (!f.plain_method || conversions) return false;
    const auto n = static_cast<size_t>(f.arity);
    for (const FuncRef& ref : fns) {
        const Callable& g = *ref;
        if (g.is_set()) return false;
        if (&g == &f || g.arity != f.arity) continue;
        if (!g.params.empty() && g.params[0].kind != TypeKey::Any) {
            const TypeKey& t = g.params[0];
            if (t.kind == TypeKey::Obj || (t.kind == TypeKey::Class && t.cls == f.params[0].cls)) return false;
            continue;
        }
        size_t untyped = 1;
        for (size_t i = 1; i < n; ++i)
            untyped += i >= g.params.size() || g.params[i].kind == TypeKey::Any || g.params[i].kind == TypeKey::Arith;
        if (untyped < n) return false;
    }
    return true;
}

void memo_add(const Symbol& sym, uint64_t version, uint32_t epoch, const uint32_t* tags, size_t n,
              const Callable* fn) {
    if (!sym.choices) sym.choices = std::make_unique<ChoiceMemo>();
    ChoiceMemo& m = *sym.choices;
    if (m.version != version || m.epoch != epoch) {
        m.version = version;
        m.epoch = epoch;
        m.used = m.next = 0;
    }
    // Full, the oldest choice makes room.
    remember(m.entries[m.next], tags, n, fn);
    m.next = static_cast<uint8_t>((m.next + 1) % ChoiceMemo::kEntries);
    if (m.used < ChoiceMemo::kEntries) ++m.used;
}

}  // namespace chai
