// Full overload resolution. In a file of its own so that the quick paths of try_dispatch,
// which every call takes, keep a small stack frame.
#include "chai/runtime/interp.hpp"

namespace chai {

namespace {
struct Cand {
    const Callable* fn;
    int inexact;
    bool conv;   // needs a numeric or host conversion: only tried when nothing else fits
    bool sconv;  // needs a script conversion: tried in turn, with its arguments converted
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
            Cand c{&f, 0, false, false};
            if (n < 16) cands[n++] = c;
            else more.push_back(c);
            continue;
        }
        if (f.arity >= 0 && f.arity != static_cast<int>(a.size)) continue;
        int inexact = 0;
        bool conv = false, sconv = false, ok = true;
        if (f.arity < 0) {
            inexact = static_cast<int>(a.size);
        } else {
            for (size_t i = 0; i < a.size && ok; ++i) {
                int m = i < f.params.size() ? match(f.params[i], *a[i]) : 2;
                // Library functions also take values a script conversion can turn into the type.
                if (m < 0 && f.host && !script_conversions.empty() && script_conversion(f.params[i], *a[i])) {
                    sconv = true;
                    ++inexact;
                    continue;
                }
                if (m < 0) ok = false;
                else if (m == 1) conv = true, ++inexact;
                else if (m == 2) ++inexact;
            }
        }
        if (!ok) continue;
        any_guarded |= f.guarded;
        Cand c{&f, inexact, conv, sconv};
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
            if (c.sconv) return call_converted(*c.fn, a, self, false, result, matched);
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
        call_converted(*pick, a, self, true, result, matched);
        return result;
    }
    if (conversion_failed) throw ConversionFailed{};
    return result;
}

const ScriptConversion* Interp::script_conversion(const TypeKey& t, const Box& b) const {
    for (const ScriptConversion& c : script_conversions)
        if (c.to == t && match(c.from, b) == 0) return &c;
    return nullptr;
}

bool Interp::call_converted(const Callable& f, Args a, const BoxRef* self, bool numbers, BoxRef& result,
                            bool& matched) {
    std::vector<BoxRef> conv(a.data, a.data + a.size);
    for (size_t i = 0; i < a.size && i < f.params.size(); ++i) {
        const TypeKey& t = f.params[i];
        if (match(t, *conv[i]) < 0) {
            const ScriptConversion* c = script_conversion(t, *conv[i]);
            if (!c) return false;
            BoxRef fn = c->fn;  // the list may grow while the conversion runs
            BoxRef arg[1] = {conv[i]};
            conv[i] = call_value(fn, Args{arg, 1}, nullptr);
            // Library code relies on the parameter type: a conversion giving something else does not fit.
            if (match(t, *conv[i]) < 0) return false;
        }
        if (numbers && t.kind == TypeKey::Num && conv[i]->is_num() && conv[i]->num().kind != t.nk)
            conv[i] = make_num(num_convert(conv[i]->num(), t.nk));
    }
    Args ca{conv.data(), conv.size()};
    if (f.guarded && !f.guard_ok(*this, ca, self)) return false;
    matched = true;
    result = f.call(*this, ca, self);
    return true;
}

}  // namespace chai
