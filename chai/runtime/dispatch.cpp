// Calls: call sites, overload selection with call-site caches, function values and script functions.
#include <algorithm>
#include <type_traits>
#include <utility>

#include "chai/runtime/choices.hpp"
#include "chai/runtime/fast_paths.hpp"
#include "chai/runtime/lone_call.hpp"
#include "chai/runtime/script_call.hpp"
#include "chai/runtime/objects.hpp"
#include "chai/runtime/site_intrinsic.hpp"

namespace chai {

bool arg_tags(Args a, const Names& names, uint32_t* tags) {
    if (a.size > Choice::kMaxArgs) return false;
    for (size_t i = 0; i < a.size; ++i) {
        const Value& v = a[i];
        const Box* b = v.box();
        const Value& s = b && b->holds_scalar() ? b->scalar() : v;
        uint32_t t;
        switch (s.tag()) {
        case Tag::Num: t = number_tag(s.imm().kind); break;
        case Tag::Bool: t = 2u << 24; break;
        case Tag::Boxed:
            switch (b->p.index()) {
            case P_Pair: t = 7u << 24 | (std::get_if<P_Pair>(&b->p)->map_pair ? 1u : 0u); break;
            case P_Object: {
                const DynObject& o = **std::get_if<P_Object>(&b->p);
                if (o.names.get() != &names || o.cls >= (1u << 24)) return false;
                t = 9u << 24 | o.cls;
                break;
            }
            case P_Host: t = 10u << 24 | std::get_if<P_Host>(&b->p)->type->id; break;
            case P_Error: return false;
            default: t = payload_tag(b->p.index());
            }
            break;
        default: t = 1u << 24;
        }
        tags[i] = t;
    }
    return true;
}

static bool same_tags(const uint32_t* a, const uint32_t* b, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (a[i] != b[i]) return false;
    return true;
}

bool chose_for(const Choice& c, const uint32_t* tags, size_t n) {
    return c.fn && c.nargs == n && same_tags(tags, c.tags, n);
}

namespace {

// Script functions are called without the virtual call: one C++ frame less on every script call.
inline Value call_fn(Interp& in, const Callable& f, Args a, const Value* self) {
    if (f.type == Callable::Type::Script) return static_cast<const ScriptFn&>(f).ScriptFn::call(in, a, self);
    return f.call(in, a, self);
}

// The one candidate, when it takes these arguments whatever they are (or, for a method, whatever
// follows an object of its class made by this engine), or null: no choice to make.
inline const Callable* sole_candidate(const FnList& fns, Args a, const Names& names) {
    if (const Callable* f = lone_plain(fns, a, names)) return f;
    const Callable* f = lone_for(fns, a);
    return f && takes_any_values(*f) ? f : nullptr;
}
}  // namespace

// Looked at only when the cache holds one, so that other functions' calls do not pay for it.
[[gnu::noinline]] const Callable* cached_script_choice(const SiteCache* cache, const Symbol& s, Args a, uint32_t epoch,
                                     const Names& names) {
    if (!cache || cache->sym != &s || cache->version != s.version || cache->epoch != epoch) return nullptr;
    const Callable* f = cache->choice.fn;
    if (!f || f->type != Callable::Type::Script || !(f->plain || f->plain_method)) return nullptr;
    if (cache->choice.any_rest) return nullptr;
    uint32_t tags[Choice::kMaxArgs];
    return arg_tags(a, names, tags) && chose_for(cache->choice, tags, a.size) ? f : nullptr;
}

Value Interp::try_dispatch(const FnList& fns, Args a, const Value* self, const Node* site, const Symbol* sym,
                           bool* declined) {
    // One untyped, unguarded candidate: what any remembered choice would be.
    if (const Callable* f = sole_candidate(fns, a, syms_->names())) {
        Value r = call_fn(*this, *f, a, self);
        if (r.is_unset() && declined) *declined = true;
        return r;
    }
    SiteCache* cache = site && sym ? site->site : nullptr;
    uint32_t tags[Choice::kMaxArgs];
    const bool cacheable = sym && arg_tags(a, syms_->names(), tags);
    if (cacheable) {
        // The site's own choice first, then the name's others; a remembered function that
        // declines these values leaves the decision to full resolution.
        const Callable* known = nullptr;
        if (cache && cache->sym == sym && cache->version == sym->version && cache->epoch == epoch_ &&
            chose_for(cache->choice, tags, a.size)) {
            known = cache->choice.fn;
        } else if ((known = memo_choice(*sym, epoch_, tags, a.size)) && cache) {
            remember_at(*cache, sym, sym->version, epoch_, tags, a.size, known,
                        wins_whatever_follows(fns, *known, !script_conversions_.empty()));
        }
        if (known) {
            Value r = call_fn(*this, *known, a, self);
            if (!r.is_unset()) return r;
        }
    }
    if (!cacheable) return resolve(fns, a, self, nullptr, declined);
    // The choice is remembered once its call has returned, with what held when it was made: the
    // call may pass this site again (recursion) with other argument types, or redefine the name.
    const uint64_t version = sym->version;
    const uint32_t epoch = epoch_;
    const Callable* chosen = nullptr;
    Value r = resolve(fns, a, self, &chosen, declined);
    if (chosen) {
        if (cache)
            remember_at(*cache, sym, version, epoch, tags, a.size, chosen,
                        wins_whatever_follows(fns, *chosen, !script_conversions_.empty()));
        // A choice made before the call redefined the name is of no use to later calls.
        if (version == sym->version && epoch == epoch_) memo_add(*sym, version, epoch, tags, a.size, chosen);
    }
    return r;
}

Value Interp::dispatch(const FnList& fns, Args a, const Node* site, const std::string& name, const Value* self,
                       const Symbol* sym) {
    bool declined = false;
    Value r;
    try {
        // A plain function alone under its name is called from here: one C++ frame less per call.
        const Callable* f = self ? nullptr : sole_candidate(fns, a, syms_->names());
        if (f && f->plain) {
            r = call_plain(static_cast<const ScriptFn&>(*f), a);
            declined = r.is_unset();
        } else {
            r = try_dispatch(fns, a, self, site, sym, &declined);
        }
    } catch (const exception::detail_numeric_error& e) {
        fail(site, e.reason);
    }
    if (!r.is_unset()) return r;
    if (declined) conversion_failed(fns, a, site, name);
    dispatch_failed(fns, a, site, name, false);
}

Value Interp::call_symbol(Symbol& s, Args a, const Node* site) {
    const FnsInUse fns(s);
    if (!fns) fail(site, "Can not find object: " + *s.name);
    return dispatch(*fns, a, site, *s.name, nullptr, &s);
}

// Inline in its two callers: a call through a function value keeps one C++ frame less.
template <bool Dropped>
[[gnu::always_inline]] inline Value Interp::call_function_value(const Value& fn, Args a, const Node* site, const Value* self) {
    const FuncRef* f = fn.func();
    if (!f) not_a_function(site);
    const FuncRef keep = *f;  // the value's box may be given another function while this one runs
    if (keep->is_set()) return keep->call(*this, a, self);
    const Callable& c = *keep;
    if (c.arity == static_cast<int>(a.size) && (c.plain || takes_any_values(c))) {
        // A script function's result is never unset: the arguments are not read again.
        Value r = Dropped && c.plain && !self
                      ? run_script<CallShape::PlainDropped>(static_cast<const ScriptFn&>(c), a, nullptr)
                      : call_fn(*this, c, a, self);
        if (!r.is_unset()) return r;
    }
    const FnList one{keep};
    // Errors name the function as the call spelled it (`g(1)` for a stored lambda g).
    const Node* callee = site && site->kind == NK::Call ? site->first : nullptr;
    return dispatch(one, a, site, callee && callee->kind == NK::Id ? callee->name : c.name, self);
}

Value Interp::call_value(const Value& fn, Args a, const Node* site, const Value* self) {
    return call_function_value<false>(fn, a, site, self);
}
Value Interp::call_value_dropped(const Value& fn, Args a, const Node* site) {
    return call_function_value<true>(fn, a, site, nullptr);
}

// ---- script functions ----

Value ScriptFn::call(Interp& in, Args a, const Value* self) const {
    if (self) return in.call_script(*this, a, self);
    return plain ? in.call_plain(*this, a) : plain_method ? in.call_plain_method(*this, a) : in.call_script(*this, a, nullptr);
}
bool ScriptFn::guard_ok(Interp& in, Args a, const Value* self) const { return !guard || in.script_guard(*this, a, self); }

// A function's tree was edited: calls from now on run the new version of its definition (when
// it still has one at the same place).
void follow_edits(Interp& in, const ScriptFn& f) {
    const ProgramRef& now = f.tree->current;
    std::vector<uint32_t> path;
    for (const Node* n = f.def; n->parent; n = n->parent) {
        const auto& kids = n->parent->kids;
        path.push_back(static_cast<uint32_t>(std::find_if(kids.begin(), kids.end(), [n](const NodePtr& k) {
                                                 return k.get() == n;
                                             }) - kids.begin()));
    }
    const Node* def = now->root.get();
    for (size_t i = path.size(); i-- > 0 && def;) def = path[i] < def->kids.size() ? def->kid(path[i]) : nullptr;
    if (!def || def->kind != f.def->kind || !def->frame) return;
    in.retire(f.prog);
    f.prog = now;
    f.set_def(def);
}

void ScriptFn::set_def(const Node* n) const {
    def = n;
    body = n->body();
    guard = n->kind == NK::Def ? n->guard() : nullptr;
    frame = n->frame;
    const size_t np = frame->param_slots.size();
    const bool read_only = np < 64 && frame->capture_slots.empty() && frame->duplicate_param.empty() &&
                           frame->params_by_value == (uint64_t{1} << np) - 1;
    const bool guard_first = frame->duplicate_param.empty() && body->kind == NK::Block && body->kids.size() > 1 &&
                             body->first->fast == F_IfReturn;
    binding = static_cast<uint8_t>((np == 1 ? kOneParam : 0) | (read_only ? kParamsRead : 0) |
                                   (guard_first ? kGuardFirst : 0));
    first_param_slot = np > 0 ? frame->param_slots[0] : 0;
    const auto returned = [](const Node* ret) { return ret->kids.empty() ? nullptr : ret->first; };
    opening_test = guard_first ? body->first->first : nullptr;
    opening_value = guard_first ? returned(body->first->second->first) : nullptr;
    const Node* closing = body->kind == NK::Block && !body->kids.empty() ? body->kids.back().get() : nullptr;
    closing_returns = closing && closing->kind == NK::Return;
    closing_value = closing_returns ? returned(closing) : closing;
}

uint32_t Interp::bind_params(const ScriptFn& f, Args a, const Value* self, const Value& obj, bool lazy) {
    return bind_args_apart<CallShape::General>(frame_->slots, f, a, self, obj, lazy);
}

bool Interp::script_guard(const ScriptFn& f, Args a, const Value* self) {
    follow_any_edit(*this, f);
    Active active(f);
    check_stack(f.guard);
    FrameScope scope(*this, f.frame, Running{&f.tree, &f.prog}, nullptr, false, false);
    // Shared at once: the body that runs next binds the same arguments and sees what the guard did.
    bind_params(f, a, self, Value(), false);
    Value r = eval_traced(f.guard, nullptr);
    return r.is_bool() && r.as_bool();
}

Value Interp::call_script(const ScriptFn& f, Args a, const Value* self) {
    return run_script<CallShape::General>(f, a, self);
}
Value Interp::call_plain(const ScriptFn& f, Args a) { return run_script<CallShape::Plain>(f, a, nullptr); }
Value Interp::call_plain_method(const ScriptFn& f, Args a) { return run_script<CallShape::Method>(f, a, nullptr); }

template Value Interp::run_script<CallShape::PlainDropped>(const ScriptFn&, Args, const Value*);
template Value Interp::run_script<CallShape::MethodDropped>(const ScriptFn&, Args, const Value*);

[[gnu::noinline]] void numeric_failed(Interp& in, const Node* site, const exception::detail_numeric_error& e) {
    in.fail(site, e.reason);
}
[[gnu::noinline]] void lone_failed(Interp& in, const Symbol& s, Args a, const Node* site, bool dot_form) {
    in.dispatch_failed(*FnsInUse(s), a, site, *s.name, dot_form);
}

// ---- call sites: name(args) and value(args) ----

Value Interp::eval_call(const Node* n) {
    const Node* callee = n->first;
    if (callee->kind == NK::Id && callee->symbol && n->kids.size() <= 1 + kIntrinsicArgs)
        if (const Callable* k = cached_intrinsic(n->site, *callee->symbol, epoch_)) {
            // A conversion of literals kept at the site (see intrinsic_site), while no variable can
            // take the name.
            if (n->site->folded_by == k && names_no_variable(callee)) return n->site->folded;
            return intrinsic_site<true>(n, *k, false, false);
        }
    switch (n->kids.size()) {
    case 2: return eval_call_general<1>(n);
    case 3: return eval_call_general<2>(n);
    default: return eval_call_general<0>(n);
    }
}

[[gnu::always_inline]] inline Value Interp::named_call(const Node* n, Args a) {
    const Node* callee = n->first;
    const bool no_variable = names_no_variable(callee);
    if (no_variable)
        if (Value r = lone_call(*callee->symbol, a, n, false); !r.is_unset()) return r;
    if (Value* v = no_variable ? nullptr : var_slot(callee)) {
        Value fn = *v;
        return call_value_dropped(fn, a, n);
    }
    Symbol* s = callee->symbol ? callee->symbol : syms_->find(callee->name);
    // An unknown name is reported as such.
    if (!s || !s->fns) return call_value(lookup_name(s, callee->name, callee), a, n);
    const FnsInUse fns(*s);
    return dispatch(*fns, a, n, callee->name, nullptr, s);
}

Value Interp::call_name(const Node* n, Args a) { return named_call(n, a); }

namespace {
// A call's N arguments, held in place, each made where it stays: no list to set up and take down.
template <size_t N> struct FixedArgs {
    Arg data[N];
    Args args() { return Args{data, N}; }
};

// Out of line: its locals would enlarge the C++ frame that every call through a site keeps.
[[gnu::noinline]] const Value* element_callee(Interp& in, const Node* index) {
    // The usual index of a callee, int arithmetic (steps[i % 3]), is computed as ints.
    if (const Vector* v = fast::declared_vector(*in.frame(), index->first); v && is_arith(index->second->fast))
        if (int32_t k; in.int_operand(index->second, k)) return &fast::element_at(*v, Number::make(k));
    return fast::vector_element(in, index);
}
}  // namespace

template <size_t N> [[gnu::noinline]] Value Interp::eval_call_general(const Node* n) {
    const Node* callee = n->first;
    // The call, once its arguments are in place.
    const auto call = [&](Args a) __attribute__((always_inline)) -> Value {
        frame_->site = n;
        if (callee->kind == NK::Id) return named_call(n, a);
        // `v[i](args)`: the element is read where it is, the call keeping its function alive.
        if (const Value* e = callee->kind == NK::Index ? element_callee(*this, callee) : nullptr)
            return call_function_value<true>(*e, a, n, nullptr);
        Value fn = eval(callee);
        return call_function_value<true>(fn, a, n, nullptr);
    };
    try {
        const auto arg = [&](const Node* k) __attribute__((always_inline)) {
            return k->kind == NK::Binary ? binary_arg(k) : eval_arg(k);
        };
        if constexpr (N == 0) {
            ArgList buf(n->kids.size() - 1);
            for (size_t i = 1; i < n->kids.size(); ++i) buf.push(arg(n->kid(i)));
            return call(buf.args());
        } else if constexpr (N == 1) {
            FixedArgs<1> buf{{arg(n->kid(1))}};
            return call(buf.args());
        } else {
            static_assert(N == 2, "calls of more arguments hold them in a list");
            FixedArgs<2> buf{{arg(n->kid(1)), arg(n->kid(2))}};
            return call(buf.args());
        }
    } catch (exception::eval_error& e) {
        add_call_trace(e, n);
        throw;
    }
}

}  // namespace chai
