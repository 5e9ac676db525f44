// Full overload resolution, for calls whose site has not seen these argument types yet; calls by
// name from outside a script.
#include "chai/runtime/interp.hpp"
#include "chai/runtime/objects.hpp"

namespace chai {

namespace {
struct Cand {
    const Callable* fn;
    int inexact;
    bool conv;   // needs a numeric or host conversion: only tried when nothing else fits
    bool sconv;  // needs a script conversion: tried in turn, with its arguments converted
};
}  // namespace

// 0: exact, 1: needs an arithmetic or registered conversion, 2: accepted but not exact (untyped), -1: no.
int Interp::match(const TypeKey& t, const Value& v) {
    switch (t.kind) {
    case TypeKey::Any: return 2;
    case TypeKey::Num:
        if (!v.is_num()) return -1;
        return v.num().kind == t.nk ? 0 : 1;
    // Any number is accepted, but no number is exactly of this type: int f(int) beats f(Number).
    case TypeKey::Arith: return v.is_num() ? 2 : -1;
    case TypeKey::Bool: return v.is_bool() ? 0 : -1;
    case TypeKey::Str: return v.kind() == Kind::String ? 0 : -1;
    case TypeKey::Vec: return v.kind() == Kind::Vector ? 0 : -1;
    case TypeKey::MapT: return v.kind() == Kind::Map ? 0 : -1;
    // A map entry (const string key) is not a Pair, nor the other way round.
    case TypeKey::PairT:
    case TypeKey::MapPairT: {
        const PairV* p = v.pair();
        return p && p->map_pair == (t.kind == TypeKey::MapPairT) ? 0 : -1;
    }
    case TypeKey::Func: return v.kind() == Kind::Function ? 0 : -1;
    case TypeKey::RangeT: return v.kind() == Kind::Range ? 0 : -1;
    case TypeKey::TypeInfoT: return v.kind() == Kind::TypeInfo ? 0 : -1;
    case TypeKey::Obj: return v.kind() == Kind::Object ? 0 : -1;
    case TypeKey::Class:
        if (const ObjRef* o = v.obj()) {
            const DynObject& d = **o;
            if (d.names.get() == &syms_->names()) return d.cls == t.cls ? 0 : -1;
            return d.class_name() == t.name ? 0 : -1;
        }
        return -1;
    case TypeKey::Error:
        if (const ErrorV* e = v.error())
            return e->type_name() == t.name || (e->range_error() && t.name == "range_error") ? 0 : -1;
        return -1;
    case TypeKey::Host:
        if (const HostObj* h = v.host()) {
            if (h->type == t.host || reg_.base_cast(*h->type, *t.host)) return 0;
        }
        // Converted arguments rank with numeric casts: an exact overload wins.
        return reg_.conversion_to(*t.host, v) ? 1 : -1;
    }
    return -1;
}

Value Interp::resolve(const FnList& fns, Args a, const Value* self, const Callable** chosen, bool* declined) {
    Cand cands[16];
    std::vector<Cand> more;
    size_t n = 0;
    bool any_guarded = false;
    for (const FuncRef& fr : fns) {
        const Callable& f = *fr;
        Cand c{&f, 0, false, false};
        if (!f.is_set()) {
            if (f.arity >= 0 && f.arity != static_cast<int>(a.size)) continue;
            bool ok = true;
            if (f.arity < 0) {
                c.inexact = static_cast<int>(a.size);
            } else {
                for (size_t i = 0; i < a.size && ok; ++i) {
                    int m = i < f.params.size() ? match(f.params[i], a[i]) : 2;
                    // Library functions also take values a script conversion can turn into the type.
                    if (m < 0 && f.host && !script_conversions_.empty() && script_conversion(f.params[i], a[i])) {
                        c.sconv = true;
                        ++c.inexact;
                        continue;
                    }
                    if (m < 0) ok = false;
                    else if (m == 1) c.conv = true, ++c.inexact;
                    else if (m == 2) ++c.inexact;
                }
            }
            if (!ok) continue;
            any_guarded |= f.guarded;
        }
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
    Value result = Value::unset();
    bool refused = false;
    // Exact-type candidates by number of untyped parameters, in set order.
    const int max_inexact = static_cast<int>(a.size);
    for (int k = 0; k <= max_inexact && result.is_unset(); ++k) {
        all([&](const Cand& c) {
            if (c.conv || c.inexact != k) return false;
            if (c.fn->is_set()) {
                result = c.fn->call(*this, a, self);
                return true;
            }
            if (c.sconv) return call_converted(*c.fn, a, self, false, result);
            if (c.fn->guarded && !c.fn->guard_ok(*this, a, self)) return false;
            Value r = c.fn->call(*this, a, self);
            // A library function that cannot take these values lets the next candidate try.
            if (r.is_unset()) {
                refused = true;
                return false;
            }
            // Remember a choice that the argument types alone made.
            if (chosen && !any_guarded && !refused) *chosen = c.fn;
            result = std::move(r);
            return true;
        });
    }
    if (!result.is_unset()) return result;
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
        if (call_converted(*pick, a, self, true, result)) {
            if (result.is_unset() && declined) *declined = true;
            return result;
        }
    }
    if (refused && declined) *declined = true;
    return Value::unset();
}

const ScriptConversion* Interp::script_conversion(const TypeKey& t, const Value& v) const {
    for (const ScriptConversion& c : script_conversions_)
        if (c.to == t && const_cast<Interp*>(this)->match(c.from, v) == 0) return &c;
    return nullptr;
}

bool Interp::call_converted(const Callable& f, Args a, const Value* self, bool numbers, Value& result) {
    std::vector<Arg> conv(a.data, a.data + a.size);
    for (size_t i = 0; i < a.size && i < f.params.size(); ++i) {
        const TypeKey& t = f.params[i];
        Value v = a[i];
        if (match(t, v) < 0) {
            const ScriptConversion* c = script_conversion(t, v);
            if (!c) return false;
            Value fn = c->fn;  // the list may grow while the conversion runs
            Arg arg[1] = {{v}};
            v = call_value(fn, Args{arg, 1}, nullptr);
            // Library code relies on the parameter type: a conversion giving something else does not fit.
            if (match(t, v) < 0) return false;
            conv[i] = {v};
        }
        if (numbers && !f.checks_numbers && t.kind == TypeKey::Num && v.is_num() && v.num().kind != t.nk)
            conv[i] = {make_num(num_convert(v.num(), t.nk))};
    }
    Args ca{conv.data(), conv.size()};
    if (f.guarded && !f.guard_ok(*this, ca, self)) return false;
    result = f.call(*this, ca, self);
    return true;
}

void Interp::add_type_conversion(const TypeKey& from, const TypeKey& to, const Value& fn) {
    script_conversions_.push_back({from, to, fn});
    ++epoch_;  // choices remembered at call sites may change
}

// Calls by name from the host and the library, and the calls of library functions, overload sets
// and bound functions.
Value Interp::call_named(std::string_view name, Args a) { return call_symbol(syms_->of(name), a, nullptr); }

Value Interp::try_call(std::string_view name, Args a) {
    Symbol* s = syms_->find(name);
    if (!s || !s->fns) return Value::unset();
    const FnsInUse fns(*s);
    return try_dispatch(*fns, a, nullptr, nullptr, s);
}

const FnList* Interp::functions(std::string_view name) {
    Symbol* s = syms_->find(name);
    return s ? s->fns.get() : nullptr;
}

void Interp::not_a_function(const Node* site) {
    // The call's callee is what did not evaluate to a function.
    const Node* callee = site && site->kind == NK::Call ? site->first : site;
    fail(site, "'" + (callee ? node_text(*callee) : std::string()) + "' does not evaluate to a function.");
}

Value NativeFn::call(Interp& in, Args a, const Value*) const { return fn(in, a); }

Value OverloadSet::call(Interp& in, Args a, const Value* self) const { return in.dispatch(fns, a, nullptr, name, self); }

Value BoundFn::call(Interp& in, Args a, const Value* self) const {
    in.check_stack(nullptr);  // bound functions may be bound again, as deep as a script likes
    std::vector<Arg> full;
    size_t next = 0;
    for (const Value& f : fixed) {
        if (!f.is_unset()) full.push_back({f});
        else if (next < a.size) full.push_back(a.data[next++]);
    }
    while (next < a.size) full.push_back(a.data[next++]);
    return in.call_value(target, Args{full.data(), full.size()}, nullptr, self);
}

}  // namespace chai
