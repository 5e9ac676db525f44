// Full overload resolution. In a file of its own so that the quick paths of try_dispatch,
// which every call takes, keep a small stack frame.
#include "chai/interp.hpp"

namespace chai {

namespace {
struct Cand {
    const Callable* fn;
    int inexact;
    bool conv;
};
}  // namespace

BoxRef Interp::resolve(const FnList& fns, Args a, const BoxRef* self, const Node* site, bool& matched,
                       bool cacheable, uint64_t sig) {
    Cand cands[16];
    std::vector<Cand> more;
    size_t n = 0;
    bool any_guarded = false;
    for (const FuncRef& fr : fns) {
        const Callable& f = *fr;
        if (f.is_set()) {
            Cand c{&f, 0, false};
            if (n < 16) cands[n++] = c;
            else more.push_back(c);
            continue;
        }
        if (f.arity >= 0 && f.arity != static_cast<int>(a.size)) continue;
        int inexact = 0;
        bool conv = false, ok = true;
        if (f.arity < 0) {
            inexact = static_cast<int>(a.size);
        } else {
            for (size_t i = 0; i < a.size && ok; ++i) {
                int m = i < f.params.size() ? match(f.params[i], *a[i]) : 2;
                if (m < 0) ok = false;
                else if (m == 1) conv = true, ++inexact;
                else if (m == 2) ++inexact;
            }
        }
        if (!ok) continue;
        any_guarded |= f.guarded;
        Cand c{&f, inexact, conv};
        if (n < 16) cands[n++] = c;
        else more.push_back(c);
    }
    auto all = [&](auto&& fn) {
        for (size_t i = 0; i < n; ++i)
            if (fn(cands[i])) return true;
        for (const Cand& c : more)
            if (fn(c)) return true;
        return false;
    };
    BoxRef result;
    bool conversion_failed = false;
    // Exact-type candidates by number of untyped parameters, in set order.
    int max_inexact = static_cast<int>(a.size);
    for (int k = 0; k <= max_inexact && !matched; ++k) {
        all([&](const Cand& c) {
            if (c.conv || c.inexact != k) return false;
            if (c.fn->is_set()) {
                result = c.fn->call(*this, a, self);
                matched = true;
                return true;
            }
            if (c.fn->guarded && !c.fn->guard_ok(*this, a, self)) return false;
            // Remember an unguarded choice that the argument types alone made.
            if (cacheable && !any_guarded && !conversion_failed &&
                (n + more.size() == 1 || dynamic_cast<const ScriptFn*>(c.fn))) {
                site->cache_list = &fns;
                site->cache_gen = fn_generation;
                site->cache_sig = sig;
                site->cache_fn = c.fn;
            }
            if (n + more.size() > 1 && !dynamic_cast<const ScriptFn*>(c.fn)) {
                // A library function that cannot take these values lets the next candidate try.
                try {
                    result = c.fn->call(*this, a, self);
                } catch (const ConversionFailed&) {
                    conversion_failed = true;
                    return false;
                }
            } else {
                result = c.fn->call(*this, a, self);
            }
            matched = true;
            return true;
        });
    }
    if (matched) return result;
    // Arithmetic fallback: exactly one candidate after casting numbers to its parameter types.
    const Callable* pick = nullptr;
    int count = 0;
    all([&](const Cand& c) {
        if (c.conv) {
            pick = c.fn;
            ++count;
        }
        return false;
    });
    if (count == 1) {
        std::vector<BoxRef> conv(a.data, a.data + a.size);
        for (size_t i = 0; i < a.size; ++i)
            if (pick->params[i].kind == TypeKey::Num && conv[i]->is_num() && conv[i]->num().kind != pick->params[i].nk)
                conv[i] = make_num(num_convert(conv[i]->num(), pick->params[i].nk));
        Args ca{conv.data(), conv.size()};
        if (pick->guarded && !pick->guard_ok(*this, ca, self)) return result;
        matched = true;
        return pick->call(*this, ca, self);
    }
    if (conversion_failed) throw ConversionFailed{};
    return result;
}

}  // namespace chai
