// Running a script function: binding a call's arguments to the parameters of its new frame,
// and the call itself in each of its shapes (Interp::run_script).
#pragma once
#include <algorithm>
#include <utility>

#include "chai/runtime/fast_paths.hpp"
#include "chai/runtime/scopes.hpp"

namespace chai {

// A function's tree was edited: calls from now on run the new version of its definition (when
// it still has one at the same place).
void follow_edits(Interp& in, const ScriptFn& f);

// A call that starts while none runs the function picks up an edit of its tree (a recursive
// call finishes on the version its caller runs).
inline void follow_any_edit(Interp& in, const ScriptFn& f) {
    if (f.active == 0 && f.tree && f.tree->current != f.prog) follow_edits(in, f);
}

// bind_args for a plain call of a one-parameter function with one argument: the same cases in
// the same order, without the masks that order many parameters.
[[gnu::always_inline]] inline uint32_t bind_one(Value* s, const ScriptFn& f, Args a) {
    const FnInfo& fi = *f.frame;
    // Every slot is written once, and each is its own (fresh frame's): none holds a box yet.
    Value& this_slot = s[fi.this_slot];
    if (!fi.this_by_value) this_slot.fill_empty(a.ref(0));
    // (No counts worked out first: most functions capture nothing.)
    for (size_t i = 0; i < f.captures.size() && i < fi.capture_slots.size(); ++i)
        s[fi.capture_slots[i]].fill_empty(f.captures[i]);
    Arg& arg = a.data[0];
    Value& param = s[f.first_param_slot];
    uint32_t fresh = 0;
    if (fi.params_by_value & 1) {
        param.fill_empty(arg.place ? *arg.place : arg.value);
    } else if (!arg.place && !arg.value.boxed()) {
        param.fill_empty(arg.value);
        fresh = 1;
    } else {
        param.fill_empty(a.ref(0));
    }
    if (fi.this_by_value) this_slot.fill_empty(a[0]);
    return fresh;
}

// bind_args for a call without an object of a function whose parameters are only read
// (ScriptFn::kParamsRead): each is given the argument's value, in order; nothing is fresh.
template <CallShape S>
[[gnu::always_inline]] inline uint32_t bind_read(Value* s, const ScriptFn& f, Args a) {
    static_assert(S != CallShape::General, "a call with an object or a new one binds in general");
    const FnInfo& fi = *f.frame;
    const size_t first = is_method_shape(S) ? 1 : 0;
    // As in bind_one: each slot is written once, into a fresh frame.
    Value& this_slot = s[fi.this_slot];
    if (a.size > 0 && !fi.this_by_value) this_slot.fill_empty(a.ref(0));
    const size_t n = std::min(fi.param_slots.size(), a.size - std::min(a.size, first));
    const uint32_t* slot = fi.param_slots.data();
    const Arg* arg = a.data + first;
    for (size_t i = 0; i < n; ++i) s[slot[i]].fill_empty(arg[i].place ? *arg[i].place : arg[i].value);
    if (a.size > 0 && fi.this_by_value) this_slot.fill_empty(a[0]);
    return 0;
}

// Binds a call's arguments to the parameters of f's new frame, whose slots are s (see
// bind_params). A shape other than General has no object, so `this` is the first argument.
// Inline always: a plain call binds in its own frame (a shared copy of the code costs a call).
template <CallShape S>
[[gnu::always_inline]] inline uint32_t bind_args(Value* s, const ScriptFn& f, Args a, const Value* self, const Value& obj, bool lazy) {
    if constexpr (S != CallShape::General) {
        if (is_plain_shape(S) && lazy && (f.binding & ScriptFn::kOneParam) && a.size == 1) return bind_one(s, f, a);
        if (is_plain_shape(S) && (f.binding & ScriptFn::kParamsRead)) return bind_read<S>(s, f, a);
    }
    const FnInfo& fi = *f.frame;
    const bool ctor = S == CallShape::General && f.ctor;
    const bool method = is_method_shape(S) || (S == CallShape::General && f.method);
    if (S != CallShape::General) self = nullptr;
    Value& this_slot = s[fi.this_slot];
    // `this`: the new object, the first argument of a method, the object whose attribute holds
    // the function, or else the first argument.
    const bool this_is_arg = !ctor && (method || !self) && a.size > 0;
    if (ctor) this_slot = obj;
    else if (!this_is_arg && self) this_slot = *self;
    else if (this_is_arg && !fi.this_by_value) this_slot = a.ref(0);
    const size_t ncaptures = std::min(fi.capture_slots.size(), f.captures.size());
    for (size_t i = 0; i < ncaptures; ++i) s[fi.capture_slots[i]] = f.captures[i];
    const size_t first = method ? 1 : 0;
    const size_t n = std::min(fi.param_slots.size(), a.size - std::min(a.size, first));
    const uint32_t* slot = fi.param_slots.data();
    Arg* arg = a.data + first;
    const uint64_t all = n >= 64 ? ~uint64_t{0} : (uint64_t{1} << n) - 1;
    const uint64_t by_value = fi.params_by_value & all;
    uint32_t fresh = 0;
    // Shared arguments first: a variable passed twice is then seen shared by both parameters.
    if (by_value != all || n > 64)
        for (size_t i = 0; i < n; ++i) {
            if (i < 64 && (by_value >> i & 1)) continue;
            // A fresh immediate nobody else holds: the parameter is its only holder, so it is kept
            // as it is and becomes a box only if the body takes a reference to it.
            if (lazy && !arg[i].place && !arg[i].value.boxed() && i < 32) {
                s[slot[i]] = arg[i].value;
                fresh |= 1u << i;
            } else {
                s[slot[i]] = a.ref(first + i);
            }
        }
    for (uint64_t m = by_value; m; m &= m - 1) {
        const auto i = static_cast<size_t>(__builtin_ctzll(m));
        s[slot[i]] = arg[i].place ? *arg[i].place : arg[i].value;
    }
    if (this_is_arg && fi.this_by_value) this_slot = a[0];
    return fresh;
}

// bind_read for a method without parameters: its object is `this`, shared if the body needs.
[[gnu::always_inline]] inline uint32_t bind_this(Value* s, const FnInfo& fi, Args a) {
    s[fi.this_slot].fill_empty(fi.this_by_value ? a[0] : a.ref(0));
    return 0;
}

// The same out of line: their locals would enlarge the C++ frame every such call keeps while its
// body runs. Only a plain function's binding is small enough to stay inline.
template <CallShape S> [[gnu::noinline]] uint32_t bind_read_apart(Value* s, const ScriptFn& f, Args a) {
    return bind_read<S>(s, f, a);
}
template <CallShape S>
[[gnu::noinline]] uint32_t bind_args_apart(Value* s, const ScriptFn& f, Args a, const Value* self, const Value& obj,
                                           bool lazy) {
    return bind_args<S>(s, f, a, self, obj, lazy);
}
// Arguments kept in their parameters only (see bind_params) are what the parameters hold when
// the call ends: whoever reads the arguments after it (the next overload tried, a host function
// calling again with them) sees them as if they had been shared. The frame is being left, so
// its values are moved; out of line, so that it does not enlarge every call's C++ frame.
[[gnu::noinline]] inline void give_back(Arg* args, const uint32_t* param_slots, Value* slots, uint32_t fresh) {
    for (uint32_t i = 0; fresh; ++i, fresh >>= 1)
        if (fresh & 1) args[i].value = std::move(slots[param_slots[i]]);
}
// Counts a running call of a script function.
struct Active {
    explicit Active(const ScriptFn& f) : fn(f) { ++fn.active; }
    ~Active() { --fn.active; }
    Active(const Active&) = delete;
    Active& operator=(const Active&) = delete;
    const ScriptFn& fn;
};
// Never inline: a caller's C++ frame would grow by this one's for every script call under it.
template <CallShape S, bool Guarded>
[[gnu::noinline]] Value Interp::run_script(const ScriptFn& f, Args a, const Value* self) {
    static_assert(!Guarded || S == CallShape::PlainDropped, "only plain calls look for an opening guard");
    const bool ctor = S == CallShape::General && f.ctor;
    follow_any_edit(*this, f);
    Active active(f);
    check_stack(f.body);
    if (!f.binding && !f.frame->duplicate_param.empty())
        // Binding the second parameter clashes with the first: the plain naming error, as when a
        // host adds a taken global name (scripts catch it as a runtime_error).
        throw exception::name_conflict_error(f.frame->duplicate_param);
    // A constructor's result is its new object, whatever its body gives.
    Value r;
    if (ctor) r = new_object(syms_->name(f.cls));
    FrameScope scope(*this, f.frame, Running{&f.tree, &f.prog}, nullptr, false, false);
    // Given back without a guard object of their own: that would make every call's C++ frame larger.
    uint32_t fresh;
    if constexpr (is_plain_shape(S)) fresh = bind_args<S>(frame_->slots, f, a, self, r, true);
    else if constexpr (is_method_shape(S))
        fresh = !(f.binding & ScriptFn::kParamsRead) ? bind_args_apart<S>(frame_->slots, f, a, self, r, true)
                : f.frame->param_slots.empty()         ? bind_this(frame_->slots, *f.frame, a)
                                                       : bind_read_apart<S>(frame_->slots, f, a);
    else fresh = bind_args_apart<S>(frame_->slots, f, a, self, r, true);
    // Arguments nobody reads after the call need not be given back.
    const uint32_t owed = drops_args(S) ? 0 : fresh;
    const bool method = is_method_shape(S) || (S == CallShape::General && f.method);
    Arg* const params = a.data + (method ? 1 : 0);
    try {
        // An error leaving this call lists the nodes of the body it passed through.
        try {
            const Node* body = f.body;
            if (body->kind != NK::Block) {
                r = eval(body);  // a guard called as a function of its own
            } else if (body->kids.empty()) {
                if (!ctor) r = Value::boolean(true, kTemp);
            } else if (!Guarded || !(f.binding & ScriptFn::kGuardFirst) ||
                       !run_if_return(body->first, f.opening_test, f.opening_value, r)) {
                // (The guard's bit is looked at again: an edit may have taken the guard away.)
                // No scope of its own: leaving the frame clears the body's variables, and what
                // eval'd code declared in it goes with the frame.
                const size_t last = body->kids.size() - 1;
                const size_t first = Guarded && (f.binding & ScriptFn::kGuardFirst) ? 1 : 0;
                for (size_t i = first; i < last && ctl_ == Ctl::None; ++i) exec_statement(body->kid(i));
                if (ctl_ == Ctl::None) {
                    // A closing `return e` gives e as the call's value, whatever e left in ctl_
                    // (the return overrides it), without going through ret_.
                    const bool returns = f.closing_returns;
                    const Node* e = f.closing_value;
                    // The usual closing value, an operation (`fib(n - 1) + fib(n - 2)`), straight to
                    // its evaluation: eval_result's leaf and kind tests cannot take it.
                    Value v = !e                          ? Value()
                              : e->kind == NK::Binary ? (check_depth(e), eval_binary(e))
                                                      : eval_result(e);
                    if (returns) ctl_ = Ctl::None;
                    if (!ctor) r = std::move(v);
                }
            }
        } catch (exception::eval_error& e) {
            complete_trace(e, nullptr);
            throw;
        }
    } catch (...) {
        if (owed) give_back(params, f.frame->param_slots.data(), frame_->slots, owed);
        throw;
    }
    if (owed) give_back(params, f.frame->param_slots.data(), frame_->slots, owed);
    if (ctl_ == Ctl::Return) {
        ctl_ = Ctl::None;
        Value v = std::move(ret_);
        if (!ctor) r = std::move(v);
    } else if (ctl_ != Ctl::None) {
        throw LoopJump{std::exchange(ctl_, Ctl::None)};
    }
    return r;
}

}  // namespace chai
