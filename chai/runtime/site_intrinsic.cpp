// Library intrinsics at their sites: the same guard as the site's cache in dispatch, so the
// result is the one dispatch would give.
#include "chai/library/intrinsics.hpp"
#include "chai/runtime/fast_paths.hpp"
#include "chai/runtime/site_intrinsic.hpp"

namespace chai {

namespace {
// The type tag of a box holding a string, Vector or Map, found without a lookup; false for any
// other box, or none.
[[gnu::always_inline]] inline bool container_tag(const Box* b, uint32_t& tag) {
    if (!b || b->p.index() < P_String || b->p.index() > P_Map) return false;
    tag = payload_tag(b->p.index());
    return true;
}

// The arguments have the types c was chosen for. Numbers held directly and strings, Vectors and
// Maps are checked here; any other argument has arg_tags check them all.
// Inline at each site: calls are most of what a site pays around an intrinsic's work.
[[gnu::always_inline]] inline bool chosen_for_types(const Choice& c, Args a, const Names& names) {
    if (a.size != c.nargs) return false;
    for (size_t i = 0; i < a.size; ++i) {
        const Value& v = a[i];
        uint32_t tag;
        if (v.tag() == Tag::Num) {
            tag = number_tag(v.imm().kind);
        } else if (!container_tag(v.box(), tag)) {
            uint32_t tags[Choice::kMaxArgs];
            return arg_tags(a, names, tags) && chose_for(c, tags, a.size);
        }
        if (tag != c.tags[i]) return false;
    }
    return true;
}

// chosen_for_types for two operands: two strings have the tags it would find for them, with no
// arguments built and looked through again; anything else goes its way.
[[gnu::always_inline]] inline bool chosen_for_two(const Choice& c, Value& l, Value& r, const Names& names) {
    if (l.str() && r.str())
        return c.nargs == 2 && c.tags[0] == payload_tag(P_String) && c.tags[1] == payload_tag(P_String);
    Arg args[2] = {{Value::unset(), &l}, {Value::unset(), &r}};
    return chosen_for_types(c, Args{args, 2}, names);
}

// Whether c was chosen for an object of type tag and a number of kind k.
[[gnu::always_inline]] inline bool chosen_for_object_and_number(const Choice& c, uint32_t tag, NumKind k) {
    return c.nargs == 2 && c.tags[0] == tag && c.tags[1] == number_tag(k);
}

// chosen_for_types for an object and a number held directly (a push_back's): a string, Vector or
// Map has the tag it would find for it, with no loop over the arguments.
[[gnu::always_inline]] inline bool chosen_for_number_arg(const Choice& c, Args a, const Names& names) {
    uint32_t tag;
    return container_tag(a[0].box(), tag) ? chosen_for_object_and_number(c, tag, a[1].imm().kind) : chosen_for_types(c, a, names);
}

// k run on a at site n, a numeric error reported as the site's.
[[gnu::always_inline]] inline Value run_at(Interp& in, const Node* n, const Callable& k, Args a) {
    try {
        return run_intrinsic(in, k.intrinsic, k.converts_to, a);
    } catch (const exception::detail_numeric_error& e) {
        in.fail(n, e.reason);
    }
}

bool all_literals(const Node* n, size_t first) {
    for (size_t i = first; i < n->kids.size(); ++i)
        if (n->kid(i)->kind != NK::Const) return false;
    return true;
}
}  // namespace

Value Interp::operator_intrinsic(const Node* site, const Callable& k, Args a) {
    if (!chosen_for_types(site->site->choice, a, syms_->names())) return Value::unset();
    return run_intrinsic(*this, k.intrinsic, k.converts_to, a);
}

Value Interp::binary_operands(const Node* n, Value& l, Value& r) {
    if (n->op == OpCode::Add && (sole_fresh_string(l) || sole_fresh_string(r)) && n->symbol)
        if (const Callable* k = cached_intrinsic(n->site, *n->symbol, epoch_);
            k && k->intrinsic == Intrinsic::StringJoin && chosen_for_two(n->site->choice, l, r, syms_->names()))
            return join_strings_into(l, r);
    return binary_values(n->op, n->symbol, l, r, n);
}

bool Interp::strings_compared(const Node* n, bool& out) {
    if (n->op != OpCode::Eq && n->op != OpCode::Ne) return false;
    const auto leaf = [&](const Node* e) -> const Value* {
        return e->kind == NK::Const ? e->constant : e->kind == NK::Id ? fast::declared_var(*frame_, e) : nullptr;
    };
    const Value* l = leaf(n->first);
    const Value* r = l && l->str() ? leaf(n->second) : nullptr;
    const Callable* k = r && r->str() && n->symbol ? cached_intrinsic(n->site, *n->symbol, epoch_) : nullptr;
    if (!k || (k->intrinsic != Intrinsic::StringEq && k->intrinsic != Intrinsic::StringNe)) return false;
    // (The library's comparisons only read their operands.)
    if (!chosen_for_two(n->site->choice, *const_cast<Value*>(l), *const_cast<Value*>(r), syms_->names())) return false;
    out = (*l->str() == *r->str()) == (k->intrinsic == Intrinsic::StringEq);
    return true;
}

// A number argument e, read as site_arg reads it, from nothing that can change anything or fail:
// a literal, a declared variable holding a number (its place in var, else null), or int
// arithmetic; false for anything else.
CHAI_HOT_INLINE bool Interp::number_arg(const Node* e, Number& x, Value*& var) {
    var = nullptr;
    if (e->kind == NK::Const && e->constant->imm_num()) {
        x = e->constant->imm();
        return true;
    }
    if (Value* v = e->kind == NK::Id ? fast::declared_var(*frame_, e) : nullptr; v && v->imm_num()) {
        x = v->imm();
        var = v;
        return true;
    }
    int32_t i;
    if (!is_arith(e->fast)) return false;
    check_depth(e);
    if (!int_operand(e, i)) return false;
    x = Number::make(i);
    return true;
}

// (Its caller has checked the shape: a variable and one argument.) The variable is read where it
// is, as nothing a number is handed to calls back into a script.
Value Interp::intrinsic_on_number(const Node* n, const Callable& k, bool target, bool ref) {
    Value* obj = fast::declared_var(*frame_, n->first);
    const Node* e = n->kid(1);
    Number x;
    Value* var;
    if (!obj || !obj->boxed() || obj->obj() || !number_arg(e, x, var)) return intrinsic_site<false>(n, k, target, ref);
    // The commonest, a number pushed onto a Vector: appended as the library appends it (a copy
    // without flags), with no arguments or result to build.
    if (Vector* vec = k.intrinsic == Intrinsic::VectorPushBack ? changeable_vec(*obj) : nullptr;
        vec && chosen_for_object_and_number(n->site->choice, payload_tag(P_Vector), x.kind)) {
        frame_->site = n;
        vec->push_back(Value::number(x));
        return Value();
    }
    Arg args[2] = {{Value::unset(), obj}, {Value::unset(), var}};
    if (!var) args[1].value = e->kind == NK::Const ? *e->constant : Value::number(x, kConst | kTemp);
    const Args a{args, 2};
    if (!chosen_for_number_arg(n->site->choice, a, syms_->names())) return intrinsic_site<false>(n, k, target, ref);
    frame_->site = n;
    Value r;
    try {
        r = run_at(*this, n, k, a);
    } catch (exception::eval_error& err) {
        add_call_trace(err, n);
        throw;
    }
    return r.is_unset() ? intrinsic_site<false>(n, k, target, ref) : r;
}

template <bool Call> Value Interp::intrinsic_site(const Node* n, const Callable& k, bool target, bool ref) {
    if constexpr (Call) {
        // A number converted without the argument's Value.
        Number x;
        if (k.intrinsic == Intrinsic::Convert && num_expr(n, x)) return make_num(x);
    }
    // A variable of the called name is what a named call calls.
    const auto no_variable = [&] { return !Call || names_no_variable(n->first) || !var_slot(n->first); };
    SiteCache& c = *n->site;
    constexpr size_t first = Call ? 1 : 0;
    SiteArgs<kIntrinsicArgs> args;
    try {
        for (size_t i = first; i < n->kids.size(); ++i) args.add([&] { return site_arg(n->kid(i)); });
        frame_->site = n;
        const Args a = args.args();
        // The arguments may have redefined the name; a script object's own members come first.
        const Symbol& sym = Call ? *n->first->symbol : *n->symbol;
        if (cached_intrinsic(&c, sym, epoch_) == &k && (Call || !a[0].obj()) && no_variable() &&
            chosen_for_types(c.choice, a, syms_->names())) {
            const auto run = [&]() __attribute__((always_inline)) { return run_at(*this, n, k, a); };
            // A method's intrinsic (a size, a push_back) runs in place; a named call's (a conversion,
            // to_string) keeps a frame of its own, where its strings are made without calls.
            const auto apart = [&] { return run(); };
            Value r = Call ? apart() : run();
            if (!r.is_unset()) {
                if (Call && k.intrinsic == Intrinsic::Convert && all_literals(n, first)) {
                    c.folded = r;
                    c.folded_by = &k;
                }
                return r;
            }
        }
        if constexpr (Call) return call_name(n, a);
        else return dot_call(n, a, target, ref);
    } catch (exception::eval_error& e) {
        add_call_trace(e, n);
        throw;
    }
}

template Value Interp::intrinsic_site<true>(const Node*, const Callable&, bool, bool);
template Value Interp::intrinsic_site<false>(const Node*, const Callable&, bool, bool);

}  // namespace chai
