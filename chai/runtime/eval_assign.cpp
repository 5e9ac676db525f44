// Assignment in its forms: =, the compound operators, := and reference declarations.
#include "chai/runtime/fast_paths.hpp"
#include "chai/runtime/objects.hpp"

namespace chai {

namespace {

// The immediate a slot holds itself or through its box; null when it holds a heap value.
Value* scalar_of(Value& slot) {
    Box* b = slot.box();
    if (!b) return &slot;
    return b->holds_scalar() ? &b->scalar() : nullptr;
}

// A number of the kind a variable or attribute holds, stored as assign_builtin would; false,
// nothing done, for anything else.
inline bool store_same_number(Value& place, const Value& v) {
    if (!place.imm_num() || place.flags() != 0 || !v.imm_num() || v.imm().kind != place.imm().kind) return false;
    place.set_imm(v.imm());
    return true;
}

}  // namespace

bool Interp::assign_builtin(Value& dst, const Value& src, const Node* site) {
    Box* db = dst.box();
    if (db && db == src.box()) return true;
    Value* ds = scalar_of(dst);
    const bool is_const = dst.is_const();
    if (ds && ds->tag() == Tag::Undef) {
        if (is_const) fail(site, "Error, cannot assign to temporary value.");
        if (!db) {
            store_into_empty(dst, src, site);
            return true;
        }
        // The box is shared: it takes the value (a fresh box's content moves over).
        Box* sb = src.box();
        if (!sb || sb->holds_scalar()) {
            db->p.emplace<P_Scalar>(sb ? sb->scalar().plain() : src.plain());
        } else if ((sb->flags & kTemp) && sb->refs == 1) {
            db->p = std::move(sb->p);
        } else {
            Value copy;
            if (!copy_for_store(src, copy)) fail(site, "Missing clone or copy constructor for right hand side of equation");
            db->p = std::move(copy.box()->p);
        }
        track_box(*db);
        return true;
    }
    if (ds && ds->tag() == Tag::Num && src.is_num()) {
        if (is_const) fail(site, "Error with unsupported arithmetic assignment operation");
        *ds = Value::number(num_convert(src.num(), ds->imm().kind));
        written(db);
        return true;
    }
    const Kind dk = dst.kind();
    if (dk == src.kind() && dk != Kind::Object && dk != Kind::Number) {
        if (is_const) fail(site, "Error, cannot assign to temporary value.");
        if (ds) {
            *ds = src.is_bool() ? Value::boolean(src.as_bool()) : Value();
            written(db);
            return true;
        }
        Box* sb = src.box();
        if (dk == Kind::Host) {
            const HostObj& to = *std::get_if<P_Host>(&db->p);
            const HostObj& from = *std::get_if<P_Host>(&sb->p);
            if (to.type == from.type) {
                if (!from.type->copy) fail(site, "Missing clone or copy constructor for right hand side of equation");
                db->p.emplace<P_Host>(HostObj{from.type, from.type->copy(from.ptr.get()), from.held});
                return true;
            }
        } else {
            Value copy = clone(src);
            db->p = std::move(copy.box()->p);
            written(db);
            return true;
        }
    }
    return false;
}

void Interp::store_into_empty(Value& dst, const Value& src, const Node* site) {
    if (!copy_for_store(src, dst)) fail(site, "Missing clone or copy constructor for right hand side of equation");
}

void Interp::assign(Value& dst, const Value& src, const Node* site) {
    if (assign_builtin(dst, src, site)) return;
    if (const FnsInUse fl{*s_assign_}) {
        Arg args[2] = {{promote(dst)}, {src}};
        if (!try_dispatch(*fl, Args{args, 2}, nullptr, site, s_assign_).is_unset()) return;
    }
    fail(site, "Unable to find appropriate'=' operator.", "(" + type_desc(dst) + ", " + type_desc(src) + ")");
}

bool Interp::compound_builtin(OpCode op, Value& dst, const Value& src, const Node* n) {
    Value* ds = scalar_of(dst);
    if (ds && ds->tag() == Tag::Num && src.is_num()) {
        Box* db = dst.box();
        Number d = ds->imm();
        if (!dst.is_const() && num_compound_quick(op, d, src.num())) {
            *ds = Value::number(d);
            written(db);
            return true;
        }
        if (op == OpCode::Div) {
            // Division goes through the plain operator, so dividing by zero reports as such.
            *ds = Value::number(num_convert(num_binary(NumOp::Div, d, src.num()), d.kind));
            written(db);
            return true;
        }
        const bool int_only = op == OpCode::Mod || op == OpCode::Shl || op == OpCode::Shr || op == OpCode::BitAnd ||
                              op == OpCode::BitOr || op == OpCode::BitXor;
        if (dst.is_const() || (int_only && (d.is_floating() || src.num().is_floating())))
            fail(n, "Error with unsupported arithmetic assignment operation");
        try {
            Number r = num_binary_quick(op, d, src.num());
            // Shifts happen in the target's own type (x >>= 2u on an int stays signed).
            if ((op == OpCode::Shl || op == OpCode::Shr) && r.kind != d.kind)
                r = num_binary(op, d, num_convert(src.num(), d.kind));
            *ds = Value::number(r.kind == d.kind ? r : num_convert(r, d.kind));
        } catch (const exception::arithmetic_error&) {
            fail(n, "Error with unsupported arithmetic assignment operation");
        }
        written(db);
        return true;
    }
    if (op == OpCode::Add) {
        std::string* d = dst.str();
        const std::string* s = src.str();
        if (d && s) {
            if (dst.is_const()) fail(n, "Error, cannot assign to temporary value.");
            check_string_size(d->size() + s->size());
            *d += *s;
            written(dst.box());
            return true;
        }
    }
    return false;
}

// `x op= number` as a statement on a variable of this frame or the top level (a compound_candidate):
// the number straight into the variable. False, having changed nothing, for anything the general
// way must see (the right side no plain number, a variable hidden by eval'd declarations, or not a
// number).
CHAI_HOT_INLINE bool Interp::compound_number(const Node* n, const Callable* conversion) {
    const Node* r = n->second;
    Value* place = fast::declared_var(*frame_, n->first);
    // The right side first, as always; it has no effects, so falling back may compute it again.
    Number x;
    if (!place || !(conversion ? convert_call(r, *conversion, x) : num_operand(r, x))) return false;
    return compound_immediate(n->op, *place, x) || compound_builtin(n->op, *place, Value::number(x), n);
}

bool Interp::compound_in_place(const Node* n) { return compound_number(n, nullptr); }

// (Whatever it leaves, compound_in_place computes again: reading the operand has no effects.)
bool Interp::compound_leaf(const Node* n) {
    Value* place = fast::declared_target(*frame_, n);
    Number x;
    if (place && n->constant) x = n->constant->imm();
    return (place && (n->constant || num_leaf(n->second, x)) && compound_immediate(n->op, *place, x)) || compound_in_place(n);
}

// (Each its own copy of the shared way: the conversion is computed without a call of its own. The
// judging stays apart, small: most calls there are no conversions.)
bool Interp::compound_by_conversion(const Node* n, const Callable& k) { return compound_number(n, &k); }

bool Interp::compound_converted(const Node* n) {
    const Callable* k = fast::compound_shape(n) ? fast::kept_conversion(n->second, epoch_) : nullptr;
    return k && compound_by_conversion(n, *k);
}

// The commonest compound assignment: a variable holding the number itself, the inline kinds.
CHAI_HOT_INLINE bool Interp::compound_immediate(OpCode op, Value& place, const Number& x) {
    if (!place.imm_num() || place.is_const()) return false;
    Number d = place.imm();
    if (!num_compound_quick(op, d, x)) return false;
    place.set_imm(d);
    return true;
}

void Interp::compound_assign(const Node* n, Value& dst, const Value& src) {
    if (compound_builtin(n->op, dst, src, n)) return;
    // No fallback to a = a op b: a type supports op= only through its own op= overloads.
    if (const FnsInUse fl{*n->symbol}) {
        Arg args[2] = {{promote(dst)}, {src}};
        if (!try_dispatch(*fl, Args{args, 2}, nullptr, n, n->symbol).is_unset()) return;
    }
    fail(n, "Unable to find appropriate'" + n->text + "' operator.", "(" + type_desc(dst) + ", " + type_desc(src) + ")");
}

// Where an assignment stores: a variable, or `holder` for what an element, attribute or other
// expression gives (boxes, so the change is shared; a fresh result is not assignable).
Value* Interp::place_of(const Node* l, Value& holder) {
    switch (l->kind) {
    case NK::VarDecl: return &declare(l);
    case NK::GlobalDecl: {
        check_name(l->name, "global", l);
        Value& g = l->symbol->global;
        if (g.is_unset()) g = Value();
        return &g;
    }
    case NK::Id:
        if (Value* v = fast::declared_var(*frame_, l)) return v;
        if (Value* v = var_slot(l)) return v;
        holder = eval_id(l);
        return &holder;
    case NK::Index: holder = eval_index(l, true); return &holder;
    case NK::Dot:
        if (!l->parens) {
            // An existing attribute, the usual target, is found without the checks a new one needs.
            if (l->fast == F_Attr)
                if (Value* attr = attr_slot(l); attr || (attr = new_attr_place(l))) return attr;
            holder = eval_dot(l, true);
            return &holder;
        }
        [[fallthrough]];  // a method call's result
    default:
        holder = eval(l);
        // A function's fresh result is no place to store anything.
        if (holder.is_temp() && !holder.is_const() && holder.kind() != Kind::Object)
            fail(l->parent, "Error, cannot assign to temporary value.");
        return &holder;
    }
}

void Interp::exec_assign(const Node* n) {
    if (n->first->fast != F_Attr || n->op != OpCode::Assign || !store_attr_number(n)) eval_assign(n);
}

Value* Interp::store_attr_number(const Node* n) {
    const Node* r = n->second;
    const Value* v = r->kind == NK::Const ? r->constant : r->kind == NK::Id ? fast::declared_var(*frame_, r) : nullptr;
    if (!v || !v->imm_num()) return nullptr;
    // The attribute as place_of finds it.
    Value* place = attr_slot(n->first);
    return place && store_same_number(*place, *v) ? place : nullptr;
}

Value Interp::eval_assign(const Node* n) {
    if (n->op == OpCode::Bind || n->first->kind == NK::RefDecl || (n->first->kind == NK::GlobalDecl && n->first->reference))
        return eval_bind(n);
    Value rhs = eval_operand<true>(n->second);
    if (n->op != OpCode::Assign && n->first->kind == NK::Id && rhs.imm_num())
        if (Value* v = fast::declared_var(*frame_, n->first))
            if (compound_immediate(n->op, *v, rhs.imm())) return *v;
    Value holder;
    Value* place = place_of(n->first, holder);
    if (n->op == OpCode::Assign && store_same_number(*place, rhs)) return *place;
    if (n->op != OpCode::Assign) compound_assign(n, *place, rhs);
    // A declaration's new slot takes its value as assign_builtin would store it there.
    else if (n->first->kind == NK::VarDecl && place->tag() == Tag::Undef && !place->is_const())
        store_into_empty(*place, rhs, n);
    else assign(*place, rhs, n);
    return *place;
}

Value Interp::eval_bind(const Node* n) {
    const Node* l = n->first;
    Value rhs = eval_ref(n->second);
    rhs.box()->flags &= static_cast<uint8_t>(~kTemp);
    // The cell the left side names is rebound: every holder of it sees the new value. A
    // reference declaration makes a cell of its own that shares the value.
    Value holder;
    Value* place;
    if (l->kind == NK::VarDecl || l->kind == NK::RefDecl) {
        place = &declare(l);
    } else {
        if (l->kind == NK::Id && !var_slot(l)) fail(l, "Can not find object: " + l->name);
        place = place_of(l, holder);
        // A literal is no cell of anybody's.
        if (place == &holder && holder.is_const()) fail(n, "Error, cannot assign to temporary value.");
    }
    // Rebinding keeps the exact type: int and double differ, as do host types.
    if (!place->is_undef() && (place->kind() != rhs.kind() || type_name(*place) != type_name(rhs)))
        fail(n, "Mismatched types in equation");
    rebind(*place, rhs);
    return rhs;
}

}  // namespace chai
