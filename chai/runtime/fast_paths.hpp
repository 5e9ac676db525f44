// Numbers computed in place: ints and doubles in locals, top-level variables, constants and
// attributes, in comparisons, arithmetic and loop steps, without boxes or calls. Anything of another
// shape takes the general path.
#pragma once
#include <cstdint>

#include "chai/runtime/interp.hpp"
#include "chai/runtime/site_intrinsic.hpp"

#if defined(__GNUC__)
#define CHAI_HOT_INLINE inline __attribute__((always_inline))
#else
#define CHAI_HOT_INLINE inline
#endif

namespace chai {

namespace fast {

// A variable's value seen through its box (a variable shared by reference keeps its number there).
// (An immediate is tested first: the commonest case pays nothing for boxes.)
CHAI_HOT_INLINE bool int_value(const Value& var, int32_t& out) {
    const Value& v = var.imm_int() ? var : var.scalar_view();
    if (!v.imm_int()) return false;
    out = v.int32();
    return true;
}
inline bool num_value(const Value& var, Number& out) {
    const Value& v = var.imm_num() ? var : var.scalar_view();
    if (!v.imm_num()) return false;
    out = v.imm();
    return true;
}

CHAI_HOT_INLINE bool int_slot(const Frame& f, const Node* n, int32_t& out) { return int_value(f.slots[n->slot], out); }

// The library's number conversion a named call site chose and still holds (epoch: the engine's),
// or null.
// (cached_intrinsic's test, the kind of intrinsic judged before the site's validity: most calls
// are no conversions.)
inline const Callable* kept_conversion(const Node* call, uint32_t epoch) {
    const Node* callee = call->first;
    const SiteCache* c = callee->kind == NK::Id && callee->symbol ? call->site : nullptr;
    const Callable* f = c ? c->choice.fn : nullptr;
    return f && f->intrinsic == Intrinsic::Convert && choice_holds(*c, *callee->symbol, epoch) ? f : nullptr;
}

// The number a conversion of a literal (F_Converted) gave when its site kept it, while the site
// still keeps that conversion and no variable takes its name; null otherwise (the call decides).
// (Only a kept conversion is ever folded, so the site's choice still being it is test enough; the
// callee of this shape names through a Global or Top reference, its record copied into the call.)
CHAI_HOT_INLINE const Value* folded_value(const Frame& f, const Node* n, uint32_t epoch) {
    const SiteCache* c = n->site;
    return c->folded_by && c->folded_by == c->choice.fn && choice_holds(*c, *n->class_symbol, epoch) && !f.dyn &&
                   unset_as_variable(*n->class_symbol, n->first->ref)
               ? &c->folded
               : nullptr;
}

// The value a variable (F_Local, F_Top) or number literal stands for, read where it is; null for
// any other operand. (A variable's box is not looked into: readers test for immediates.)
CHAI_HOT_INLINE const Value* leaf_value(const Frame& f, const Node* n) {
    switch (n->fast) {
    case F_Local: return &f.slots[n->slot];
    case F_Top: return &n->symbol->top;
    case F_Const: return n->constant;
    default: return nullptr;
    }
}
// The same, or the number a kept conversion of a literal gave (for conditions: x > double(4)).
CHAI_HOT_INLINE const Value* leaf_value(const Frame& f, const Node* n, uint32_t epoch) {
    return n->fast == F_Converted ? folded_value(f, n, epoch) : leaf_value(f, n);
}

// The variable a name node of shape F_Local or F_Top stands for, without a lookup. Unset when it is
// not declared (yet), or, at the top level, when the name is a global's or a function's: readers
// then fail their type test and the general lookup decides. Callers check that eval'd code
// declared nothing in the frame, which could hide it.
CHAI_HOT_INLINE Value& var_of(Frame& f, const Node* id) {
    return id->fast == F_Local ? f.slots[id->slot] : id->symbol->top;
}

// The variable an F_Compound node's target names, through the copy of its place in the node.
CHAI_HOT_INLINE Value& compound_target(Frame& f, const Node* n) {
    return n->class_symbol ? n->class_symbol->top : f.slots[n->slot];
}
// declared_var of that target.
CHAI_HOT_INLINE Value* declared_target(Frame& f, const Node* n) {
    Value* v = f.dyn ? nullptr : &compound_target(f, n);
    return v && !v->is_unset() ? v : nullptr;
}
// leaf_value of an F_Compound node's operand, a literal read through its copy in the node.
CHAI_HOT_INLINE const Value* compound_leaf_value(const Frame& f, const Node* n) {
    return n->constant ? n->constant : leaf_value(f, n->second);
}

// What a leaf (v: leaf_value's) holds, a double or an int (a variable's also through its box), as a
// double: the common type of a double with an int, and exact for every int.
CHAI_HOT_INLINE bool double_held(const Value* v, double& out) {
    if (!v) return false;
    const Value& held = v->imm_num() ? *v : v->scalar_view();
    if (!held.imm_num()) return false;
    const Number x = held.imm();
    if (x.kind == NumKind::Double) out = x.d;
    else if (x.kind == NumKind::Int) out = static_cast<double>(static_cast<int32_t>(x.i));
    else return false;
    return true;
}

// The declared local or top-level variable a name node stands for, found without a lookup; null
// where the general lookup must decide (eval'd declarations in the frame may hide it, it is not
// declared, or it names a global, a capture or a function).
inline Value* declared_var(Frame& f, const Node* id) {
    if (f.dyn) return nullptr;
    Value* v = id->ref == Ref::Local ? &f.slots[id->slot] : id->ref == Ref::Top ? &id->symbol->top : nullptr;
    return v && !v->is_unset() ? v : nullptr;
}

// What `return e` or a body's closing e gives when e is a literal or the function's own declared
// variable, read where it is; null where e must be evaluated.
inline const Value* result_leaf(Frame& f, const Node* e) {
    if (e->kind == NK::Const) return e->constant;
    return e->kind == NK::Id && e->ref == Ref::Local ? declared_var(f, e) : nullptr;
}

// The Vector a declared variable (id) holds, whose elements are read without copying it; null
// for anything else.
inline const Vector* declared_vector(Frame& f, const Node* id) {
    const Value* held = id->kind == NK::Id ? declared_var(f, id) : nullptr;
    return held ? held->vec() : nullptr;
}
// Element i of v, or the error of an index past its end.
inline const Value& element_at(const Vector& v, const Number& i) {
    const uint64_t k = i.as<uint64_t>();
    if (k >= v.size()) throw_vector_index(k, v.size());
    return v[k];
}

// The library's size (of a Vector, string or Map) a method site without arguments on a variable
// chose and still holds (epoch: the engine's), or null.
inline const Callable* kept_size(const Node* dot, uint32_t epoch) {
    if (dot->kids.size() != 1 || dot->first->kind != NK::Id || dot->symbol->member_getters) return nullptr;
    const Callable* f = cached_intrinsic(dot->site, *dot->symbol, epoch);
    return f && f->intrinsic >= Intrinsic::VectorSize && f->intrinsic <= Intrinsic::MapSize ? f : nullptr;
}
// v.size() where the site keeps the library's size and v, a declared variable, holds a container
// of the type the site chose it for (intrinsic_site's test): the size, as that would give it,
// without a Value. False for anything else.
CHAI_HOT_INLINE bool size_of(Frame& f, const Node* dot, uint32_t epoch, Number& out) {
    const Callable* k = kept_size(dot, epoch);
    const Value* v = k ? declared_var(f, dot->first) : nullptr;
    const Box* b = v ? v->box() : nullptr;
    const Choice& c = dot->site->choice;
    if (!b || b->p.index() < P_String || b->p.index() > P_Map || c.nargs != 1 || payload_tag(b->p.index()) != c.tags[0])
        return false;
    const Vector* vec = k->intrinsic == Intrinsic::VectorSize ? v->vec() : nullptr;
    const std::string* str = k->intrinsic == Intrinsic::StringSize ? v->str() : nullptr;
    const Map* map = k->intrinsic == Intrinsic::MapSize ? v->map() : nullptr;
    if (!vec && !str && !map) return false;
    out = Number::make(static_cast<uint64_t>(vec ? vec->size() : str ? str->size() : map->size()));
    f.site = dot;
    return true;
}

// Whether num_expr may compute r, judged from its shape and its call sites' valid choices (epoch:
// the engine's) without evaluating anything: other operands (script calls, members) would be
// tried for nothing.
inline bool may_compute(const Node* r, uint32_t epoch) {
    switch (r->kind) {
    case NK::Call: return kept_conversion(r, epoch) != nullptr;
    case NK::Index: return r->first->kind == NK::Id && (r->second->fast != F_None || r->second->kind == NK::Id);
    case NK::Binary:
        return r->fast != F_None ||
               (r->op <= OpCode::BitXor && may_compute(r->first, epoch) && may_compute(r->second, epoch));
    case NK::Assign: return false;
    default: return r->fast != F_None || r->kind == NK::Id;
    }
}

// `name op= operand` where the operand is one the short ways may compute, or a size: what
// compound_in_place takes.
inline bool compound_shape(const Node* s) {
    return s->kind == NK::Assign && s->op <= OpCode::BitXor && s->first->kind == NK::Id;
}
inline bool compound_operand(const Node* r, uint32_t epoch) {
    return may_compute(r, epoch) || (r->kind == NK::Dot && kept_size(r, epoch));
}
inline bool compound_candidate(const Node* s, uint32_t epoch) { return compound_shape(s) && compound_operand(s->second, epoch); }

inline bool int_const(const Node* n, int32_t& out) {
    if (!n->constant->imm_int()) return false;
    out = n->constant->int32();
    return true;
}

// x op y as ints wrap; division by 0 or -1 is left to the general path, which knows its errors.
CHAI_HOT_INLINE bool int_op(OpCode op, int32_t x, int32_t y, int32_t& out) {
    const uint32_t ux = static_cast<uint32_t>(x), uy = static_cast<uint32_t>(y);
    switch (op) {
    case OpCode::Add: out = static_cast<int32_t>(ux + uy); return true;
    case OpCode::Sub: out = static_cast<int32_t>(ux - uy); return true;
    case OpCode::Mul: out = static_cast<int32_t>(ux * uy); return true;
    case OpCode::Div:
        if (y == 0 || y == -1) return false;
        out = x / y;
        return true;
    case OpCode::Mod:
        if (y == 0 || y == -1) return false;
        out = x % y;
        return true;
    default: return false;
    }
}

// ++v / --v of the variable v a step node names, when it is a plain int.
CHAI_HOT_INLINE bool int_step_at(const Frame& f, const Node* n, Value& v) {
    if (f.dyn || !v.plain_int()) return false;
    v.set_int32(static_cast<int32_t>(static_cast<uint32_t>(v.int32()) + (n->op == OpCode::Incr ? 1u : ~0u)));
    return true;
}

}  // namespace fast

// A call's argument: a declared variable is read in place, int arithmetic (i % 100) computed as
// eval_binary computes it, anything else evaluated.
inline bool Interp::int_arg(const Node* e, int32_t& out) {
    if (!is_arith(e->fast) || frame_->dyn) return false;
    check_depth(e);
    return int_operand(e, out);
}

inline Arg Interp::site_arg(const Node* e) {
    if (int32_t x; int_arg(e, x)) return Arg{Value::of(x, kConst | kTemp)};
    Value* v = e->kind == NK::Id ? fast::declared_var(*frame_, e) : nullptr;
    return !v ? eval_arg(e) : v->boxed() ? Arg{*v} : Arg{Value::unset(), v};
}

inline bool Interp::fast_num(const Node* n, Number& out) {
    if (is_variable(n->fast)) {
        if (fast::num_value(fast::var_of(*frame_, n), out) && !frame_->dyn) return true;
    } else if (n->fast == F_Const) {
        out = n->constant->imm();
        return true;
    } else if (is_arith(n->fast)) {
        return arith(n, out);
    }
    return slow_num(n, out);
}

namespace fast {
// The element `v[i]` (index) stands for, read in place when v is a declared Vector variable and i
// a number computed without side effects; null where the general evaluation must decide.
CHAI_HOT_INLINE const Value* vector_element(Interp& in, const Node* index) {
    const Vector* v = declared_vector(*in.frame(), index->first);
    if (!v) return nullptr;
    Number i;
    return in.fast_num(index->second, i) ? &element_at(*v, i) : nullptr;
}
}  // namespace fast

// A number variable or literal, or a literal's conversion the site keeps (under convert_call's
// guard), read in place; false for anything else.
CHAI_HOT_INLINE bool Interp::num_leaf(const Node* n, Number& out) {
    if (n->fast == F_Const) {
        out = n->constant->imm();
        return true;
    }
    if (is_variable(n->fast)) return !frame_->dyn && fast::num_value(fast::var_of(*frame_, n), out);
    const Value* v = n->fast == F_Converted ? fast::folded_value(*frame_, n, epoch_) : nullptr;
    if (!v) return false;
    out = v->imm();
    return true;
}

// The same guard as intrinsic_site's: the argument is of the type the site chose k for, and no
// variable takes the called name.
CHAI_HOT_INLINE bool Interp::convert_call(const Node* n, const Callable& k, Number& out) {
    SiteCache& c = *n->site;
    if (c.folded_by == &k && names_no_variable(n->first)) {
        out = c.folded.imm();
        return true;
    }
    if (n->kids.size() != 2 || c.choice.nargs != 1) return false;
    check_depth(n);
    // (An error in the argument needs no call trace of its own: the call encloses it.)
    Number x;
    if (!num_leaf(n->kid(1), x) && !num_expr(n->kid(1), x)) return false;
    if (number_tag(x.kind) != c.choice.tags[0] || !(names_no_variable(n->first) || !var_slot(n->first))) return false;
    frame_->site = n;
    out = num_convert_quick(x, k.converts_to);
    // A literal's conversion is kept as intrinsic_site keeps it.
    if (n->kid(1)->kind == NK::Const) {
        c.folded = make_num(out);
        c.folded_by = &k;
    }
    return true;
}

// num_expr, its commonest operands (leaves and elements of Vectors) read without its set-up.
CHAI_HOT_INLINE bool Interp::num_operand(const Node* n, Number& out) {
    if (num_leaf(n, out)) return true;
    if (n->kind == NK::Index)
        if (const Value* e = fast::vector_element(*this, n); e && fast::num_value(*e, out)) return true;
    return num_expr(n, out);
}

CHAI_HOT_INLINE bool Interp::int_operand(const Node* n, int32_t& out) {
    const Frame& f = *frame_;
    switch (n->fast) {
    case F_Local: return fast::int_slot(f, n, out);
    case F_Top: return fast::int_value(n->symbol->top, out);
    case F_Attr: {
        const Value* v = attr_slot(n);
        if (!v || !v->scalar_view().imm_int()) return false;
        out = v->scalar_view().int32();
        return true;
    }
    case F_Const: return fast::int_const(n, out);
    case F_ArithLL: {
        int32_t x, y;
        return fast::int_value(f.slots[n->slot], x) && fast::int_value(f.slots[n->slot_end], y) && fast::int_op(n->op, x, y, out);
    }
    case F_ArithLC: {
        int32_t x, y;
        return fast::int_value(f.slots[n->slot], x) && fast::int_const(n, y) && fast::int_op(n->op, x, y, out);
    }
    case F_Arith: return int_arith(n, out);
    default: return false;
    }
}

CHAI_HOT_INLINE bool Interp::test(const Node* n) {
    const Frame& f = *frame_;
    if (!f.dyn) {
        // Leaves (variables, literals) are read once, then compared by what they hold; other
        // operands (attributes, arithmetic) are computed as ints where they can be.
        const Value* a;
        const Value* b;
        int32_t x, y;
        switch (n->fast) {
        case F_CmpLL: a = &f.slots[n->slot], b = &f.slots[n->slot_end]; break;
        case F_CmpLC: a = &f.slots[n->slot], b = n->constant; break;
        case F_CmpXC:
            // (Ints first: the operand is often arithmetic, n % d == 0.)
            if (int_operand(n->first, x) && fast::int_const(n, y)) return compare_values(n->op, x, y);
            if (!(a = fast::leaf_value(f, n->first, epoch_))) return double_condition(n);
            b = n->constant;
            break;
        case F_Cmp:
            a = fast::leaf_value(f, n->first, epoch_), b = fast::leaf_value(f, n->second, epoch_);
            if (!a || !b)
                return int_operand(n->first, x) && int_operand(n->second, y) ? compare_values(n->op, x, y)
                                                                               : double_condition(n);
            break;
        default: return double_condition(n);
        }
        if (a->imm_int() && b->imm_int()) return compare_values(n->op, a->int32(), b->int32());
        // A double with a double or an int (which converts exactly).
        double dx, dy;
        if (a->imm_num() && b->imm_num() && quick::doubles(a->imm(), b->imm(), dx, dy)) return compare_values(n->op, dx, dy);
        // Ints in boxes (variables shared by reference).
        if (fast::int_value(*a, x) && fast::int_value(*b, y)) return compare_values(n->op, x, y);
    }
    return double_condition(n);
}

// test() of a comparison of two locals (F_CmpLL, a loop's i < n), its shape known to the caller:
// ints compared at once, anything else the way test() takes after them.
CHAI_HOT_INLINE bool Interp::test_locals(const Node* n) {
    const Frame& f = *frame_;
    const Value& a = f.slots[n->slot];
    const Value& b = f.slots[n->slot_end];
    return !f.dyn && a.imm_int() && b.imm_int() ? compare_values(n->op, a.int32(), b.int32()) : double_condition(n);
}

// `x op= y` of the F_Compound shape on a variable holding a double, y holding a double or an int:
// computed where x is. False for anything else, having changed nothing. (A kept conversion as y is
// left to compound_in_place: the loops this is inlined into stay lean.)
CHAI_HOT_INLINE bool Interp::double_compound(const Node* n) {
    Frame& f = *frame_;
    if (n->fast != F_Compound || f.dyn) return false;
    Value& v = fast::compound_target(f, n);
    double y;
    // An immediate without flags: a variable's own double, never a constant's.
    if (v.tag() != Tag::Num || v.flags() != 0 || v.imm().kind != NumKind::Double || !fast::double_held(fast::compound_leaf_value(f, n), y))
        return false;
    v.set_imm(Number::make(float_arith(n->op, v.imm().d, y)));
    return true;
}

CHAI_HOT_INLINE bool Interp::compound_statement(const Node* n) {
    // The shape known since resolving spares the commonest statements the candidate test.
    if (n->fast == F_Compound) return double_compound(n) || compound_leaf(n);
    if (n->second->kind == NK::Call) return compound_converted(n);
    return fast::compound_candidate(n, epoch_) && compound_in_place(n);
}

// `return e`: its value kept for the call to give.
CHAI_HOT_INLINE void Interp::exec_return(const Node* n) {
    ret_ = n->kids.empty() ? Value() : eval_result(n->first);
    ctl_ = Ctl::Return;
}

// `if (c) { return e }` run without entering its block, which has nothing to clear: a literal or
// the function's own variable is given in r at once (a function's opening guard: as the call's
// result), any other return sets ret_ as the statement does. False when c is false.
// The caller may know g's condition c and the value e its return gives (null: none).
CHAI_HOT_INLINE bool Interp::run_if_return(const Node* g, const Node* c, const Node* e, Value& r) {
    if (!test(c)) return false;
    if (const Value* v = frame_->dyn || !e ? nullptr : fast::result_leaf(*frame_, e)) r = *v;
    else if (frame_->dyn) exec(g->second);
    else exec_return(g->second->first);
    return true;
}
CHAI_HOT_INLINE bool Interp::run_if_return(const Node* g, Value& r) {
    const Node* ret = g->second->first;
    return run_if_return(g, g->first, ret->kids.empty() ? nullptr : ret->first, r);
}

template <bool Ids> inline Value Interp::eval_operand(const Node* n) {
    switch (n->kind) {
    case NK::Id:
        if (Value* v = Ids ? fast::declared_var(*frame_, n) : nullptr) {
            check_depth(n);
            return *v;
        }
        return eval(n);
    case NK::Call: check_depth(n); return eval_call(n);
    case NK::Binary: check_depth(n); return eval_binary(n);
    case NK::Dot: check_depth(n); return eval_dot(n);
    default: return eval(n);
    }
}

inline bool Interp::int_step(const Node* n) {
    if (n->fast != F_Step) return n->fast == F_StepTop && fast::int_step_at(*frame_, n, n->first->symbol->top);
    return fast::int_step_at(*frame_, n, frame_->slots[n->first->slot]);
}

}  // namespace chai
