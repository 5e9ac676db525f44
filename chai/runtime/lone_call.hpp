// The script function a call site gives its arguments to without any choosing: shared by named
// calls and method calls, each inlining it so that a script call keeps one C++ frame less.
#pragma once
#include "chai/runtime/interp.hpp"
#include "chai/runtime/objects.hpp"

namespace chai {

// f is a plain method and the first argument an object of its class made by this engine.
inline bool plain_method_for(const Callable& f, Args a, const Names& names) {
    if (!f.plain_method) return false;
    const ObjRef* o = a[0].obj();
    return o && (*o)->names.get() == &names && (*o)->cls == f.params[0].cls;
}

// The one function of fns when it takes a.size arguments, or null.
inline const Callable* lone_for(const FnList& fns, Args a) {
    return fns.size() == 1 && fns[0]->arity == static_cast<int>(a.size) ? fns[0].get() : nullptr;
}
// The one function of fns when it is a plain function, or a plain method of the first argument's
// class, taking these arguments; or null.
inline const Callable* lone_plain(const FnList& fns, Args a, const Names& names) {
    const Callable* f = lone_for(fns, a);
    return f && (f->plain || plain_method_for(*f, a, names)) ? f : nullptr;
}

// The plain method the site cache chose for any object of its class (Choice::any_rest), when the
// first argument is one; or null. Inline: a library function of the same name makes a class's
// methods take this way on every call.
inline const Callable* cached_method_for(const SiteCache* k, const Symbol& s, Args a, uint32_t epoch,
                                         const Names& names) {
    if (!k || !k->choice.any_rest || k->sym != &s || k->version != s.version || k->epoch != epoch) return nullptr;
    return plain_method_for(*k->choice.fn, a, names) ? k->choice.fn : nullptr;
}
// A plain script function or method the site cache chose for arguments of these types, or null
// (a choice for any object of a class is cached_method_for's). Out of line, as are the failures:
// they would enlarge the C++ frame every such call keeps.
const Callable* cached_script_choice(const SiteCache* cache, const Symbol& s, Args a, uint32_t epoch,
                                     const Names& names);
[[noreturn]] void numeric_failed(Interp& in, const Node* site, const exception::detail_numeric_error& e);
[[noreturn]] void lone_failed(Interp& in, const Symbol& s, Args a, const Node* site, bool dot_form);

extern template Value Interp::run_script<CallShape::PlainDropped>(const ScriptFn&, Args, const Value*);
extern template Value Interp::run_script<CallShape::PlainDropped, true>(const ScriptFn&, Args, const Value*);
extern template Value Interp::run_script<CallShape::MethodDropped>(const ScriptFn&, Args, const Value*);

[[gnu::always_inline]] inline Value Interp::lone_call(const Symbol& s, Args a, const Node* site, bool dot_form) {
    // What dispatch would call without any choosing (see sole_candidate), when it is a script one.
    const FnList* fns = s.fns.get();
    if (!fns) return Value::unset();
    const Callable* c = lone_plain(*fns, a, syms_->names());
    // Else what the site chose for these argument types last time, as try_dispatch finds it.
    if (!c && !(c = cached_method_for(site->site, s, a, epoch_, syms_->names())) &&
        !(c = cached_script_choice(site->site, s, a, epoch_, syms_->names())))
        return Value::unset();
    const bool plain = c->plain;
    // Not held like the list (FnsInUse): a name's lists only grow, so every later one holds f too.
    const auto& f = static_cast<const ScriptFn&>(*c);
    Value r;
    try {
        // A body opening with a lone if-return runs it without a C++ call (see guarded_call.cpp);
        // not from a method site (dot_form is known there), whose code stays as lean as it was.
        r = !plain ? run_script<CallShape::MethodDropped>(f, a, nullptr)
            : dot_form || !(f.binding & ScriptFn::kGuardFirst) ? run_script<CallShape::PlainDropped>(f, a, nullptr)
                                                                : run_script<CallShape::PlainDropped, true>(f, a, nullptr);
    } catch (const exception::detail_numeric_error& e) {
        numeric_failed(*this, site, e);
    }
    // A script function's result is never unset; if it were, the call failed as dispatch says.
    if (r.is_unset()) lone_failed(*this, s, a, site, dot_form);
    return r;
}

}  // namespace chai
