// Numbers computed in place: int locals, constants and attributes in comparisons, arithmetic and
// loop steps, without boxes or calls. Anything of another shape takes the general path.
#pragma once
#include <cstdint>

#include "chai/runtime/interp.hpp"

#if defined(__GNUC__)
#define CHAI_HOT_INLINE inline __attribute__((always_inline))
#else
#define CHAI_HOT_INLINE inline
#endif

namespace chai {

namespace fast {

// A variable's value seen through its box (a variable shared by reference keeps its number there).
// (An immediate is tested first: the commonest case pays nothing for boxes.)
inline bool int_value(const Value& var, int32_t& out) {
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

inline bool int_slot(const Frame& f, const Node* n, int32_t& out) { return int_value(f.slots[n->slot], out); }

// The declared local or top-level variable a name node stands for, found without a lookup; null
// where the general lookup must decide (eval'd declarations in the frame may hide it, it is not
// declared, or it names a global, a capture or a function).
inline Value* declared_var(Frame& f, const Node* id) {
    if (f.dyn) return nullptr;
    Value* v = id->ref == Ref::Local ? &f.slots[id->slot] : id->ref == Ref::Top ? &id->symbol->top : nullptr;
    return v && !v->is_unset() ? v : nullptr;
}

// `name op= operand` where the operand is one the short ways may compute (a call or an index would
// be looked at for nothing): what compound_in_place takes.
inline bool compound_candidate(const Node* s) {
    return s->kind == NK::Assign && s->op <= OpCode::BitXor && s->first->kind == NK::Id &&
           (s->second->fast != F_None || s->second->kind == NK::Id);
}

// A name of a top-level variable, read in its symbol while that holds a value (unset, the name may
// be a global's or a function's: the general lookup finds those). Readers check that eval'd code
// declared nothing in the frame, which could hide it.
inline bool is_top_var(const Node* n) { return n->kind == NK::Id && n->ref == Ref::Top; }

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

inline bool int_compare(OpCode op, int32_t x, int32_t y) {
    // Which of <, ==, > make each comparison true, as bits 0, 1, 2: one lookup, no branches.
    static constexpr uint8_t kTrueFor[] = {0b001, 0b011, 0b100, 0b110, 0b010, 0b101};  // Lt Le Gt Ge Eq Ne
    static_assert(int(OpCode::Le) == int(OpCode::Lt) + 1 && int(OpCode::Ne) == int(OpCode::Lt) + 5, "order");
    const int order = (x > y) - (x < y) + 1;
    return (kTrueFor[int(op) - int(OpCode::Lt)] >> order) & 1;
}

}  // namespace fast

inline bool Interp::fast_num(const Node* n, Number& out) {
    if (n->fast == F_Local) {
        if (fast::num_value(frame_->slots[n->slot], out) && !frame_->dyn) return true;
    } else if (n->fast == F_Const) {
        out = n->constant->imm();
        return true;
    } else if (is_arith(n->fast)) {
        return arith(n, out);
    }
    return slow_num(n, out);
}

CHAI_HOT_INLINE bool Interp::int_operand(const Node* n, int32_t& out) {
    const Frame& f = *frame_;
    switch (n->fast) {
    case F_Local: return fast::int_slot(f, n, out);
    case F_Attr: {
        const Value* v = attr_slot(n);
        if (!v || !v->scalar_view().imm_int()) return false;
        out = v->scalar_view().int32();
        return true;
    }
    case F_Const: return fast::int_const(n, out);
    case F_ArithLL: {
        int32_t x, y;
        return fast::int_slot(f, n->first, x) && fast::int_slot(f, n->second, y) && fast::int_op(n->op, x, y, out);
    }
    case F_ArithLC: {
        int32_t x, y;
        return fast::int_slot(f, n->first, x) && fast::int_const(n->second, y) && fast::int_op(n->op, x, y, out);
    }
    case F_Arith: return int_arith(n, out);
    default: return fast::is_top_var(n) && fast::int_value(n->symbol->top, out);
    }
}

CHAI_HOT_INLINE bool Interp::test(const Node* n) {
    const Frame& f = *frame_;
    int32_t x, y;
    bool ints = false;
    if (!f.dyn) switch (n->fast) {
        case F_CmpLL: ints = fast::int_slot(f, n->first, x) && fast::int_slot(f, n->second, y); break;
        case F_CmpLC: ints = fast::int_slot(f, n->first, x) && fast::int_const(n->second, y); break;
        case F_CmpXC: ints = int_operand(n->first, x) && fast::int_const(n->second, y); break;
        case F_Cmp: ints = int_operand(n->first, x) && int_operand(n->second, y); break;
        default: break;
        }
    return ints ? fast::int_compare(n->op, x, y) : condition(n);
}

inline bool Interp::int_step(const Node* n) {
    if (n->fast != F_Step || frame_->dyn) return false;
    Value& v = frame_->slots[n->first->slot];
    if (!v.plain_int()) return false;
    v.set_int32(static_cast<int32_t>(static_cast<uint32_t>(v.int32()) + (n->op == OpCode::Incr ? 1u : ~0u)));
    return true;
}

}  // namespace chai
