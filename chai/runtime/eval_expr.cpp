// Expressions: names, operators, literals. Numeric operands that are constants, variables or
// arithmetic on them are computed without touching any box.
#include "chai/runtime/fast_paths.hpp"
#include "chai/runtime/site_intrinsic.hpp"

namespace chai {

Value Interp::eval(const Node* n) {
    check_depth(n);
    switch (n->kind) {
    case NK::Const: return *n->constant;
    case NK::Id: return eval_id(n);
    case NK::Assign: return eval_assign(n);
    case NK::Binary: return eval_binary(n);
    case NK::And:
    case NK::Or: return Value::boolean(condition(n), kTemp);
    case NK::Ternary: return condition(n->condition()) ? eval(n->second) : eval(n->otherwise());
    case NK::Prefix: return eval_prefix(n);
    case NK::Call: return eval_call(n);
    case NK::Dot: return eval_dot(n);
    case NK::Index: return eval_index(n, false);
    case NK::VectorLit:
    case NK::MapLit:
    case NK::RangeLit: return eval_container(n);
    case NK::InterpStr: return eval_interp(n);
    case NK::Lambda: return eval_lambda(n);
    case NK::VarDecl:
    case NK::RefDecl:
    case NK::GlobalDecl:
    case NK::AttrDecl: return eval_decl(n);
    case NK::Block: return eval_block(n);
    case NK::File: return n->kids.empty() ? no_value() : eval_statements(n);
    case NK::Def: return eval_def(n);
    case NK::Class: return eval_class(n);
    case NK::If: return eval_if(n);
    case NK::While: return eval_while(n);
    case NK::For: return eval_for(n);
    case NK::Switch: return eval_switch(n);
    case NK::Try: return eval_try(n);
    case NK::Return:
        exec_return(n);
        return ret_;
    case NK::Break: ctl_ = Ctl::Break; return no_value();
    case NK::Continue: ctl_ = Ctl::Continue; return no_value();
    default: return no_value();
    }
}

Value Interp::eval_id(const Node* n) {
    if (Value* v = fast::declared_var(*frame_, n)) return *v;
    if (Value* v = var_slot(n)) return *v;
    return lookup_name(n->symbol ? n->symbol : syms_->find(n->name), n->name, n);
}

// ---- numbers without boxes ----

bool Interp::slow_num(const Node* n, Number& out) {
    const Value* v = nullptr;
    if (n->kind == NK::Id) v = var_slot(n);
    else if (n->fast == F_Attr) v = attr_slot(n);
    if (!v || !v->is_num()) return false;
    out = v->num();
    return true;
}

namespace {
Number computed_in_full(Context& c, const Node* n, const Number& a, const Number& b) {
    try {
        return num_binary(n->op, a, b);
    } catch (const exception::detail_numeric_error& e) {
        c.fail(n, e.reason);
    }
}
// a op b for the operator node n, whose numeric errors are reported at n. (The commonest kinds
// pay no call.)
inline Number computed(Context& c, const Node* n, const Number& a, const Number& b) {
    Number r;
    return num_binary_inline(n->op, a, b, r) ? r : computed_in_full(c, n, a, b);
}
}  // namespace

bool Interp::int_arith(const Node* n, int32_t& out) {
    check_depth(n);
    int32_t x, y;
    return int_operand(n->first, x) && int_operand(n->second, y) && fast::int_op(n->op, x, y, out);
}

bool Interp::arith(const Node* n, Number& out) {
    check_depth(n);
    Number a, b;
    if (!fast_num(n->first, a) || !fast_num(n->second, b)) return false;
    out = computed(*this, n, a, b);
    return true;
}

bool Interp::num_expr(const Node* n, Number& out) {
    if (n->kind == NK::Call) {
        const Callable* k = fast::kept_conversion(n, epoch_);
        return k && convert_call(n, *k, out);
    }
    // Arithmetic on numbers is the engine's own, whatever functions a script defines for `+`.
    if (n->kind == NK::Binary && n->fast == F_None && n->op <= OpCode::BitXor) {
        check_depth(n);
        Number a, b;
        if (!(num_leaf(n->first, a) || num_expr(n->first, a)) || !(num_leaf(n->second, b) || num_expr(n->second, b)))
            return false;
        out = computed(*this, n, a, b);
        return true;
    }
    // A container's size where the site keeps the library's, as intrinsic_site would run it.
    if (n->kind == NK::Dot && n->fast == F_None) return fast::size_of(*frame_, n, epoch_, out);
    // An element of a Vector: indexing one is no function a script can redefine.
    if (n->kind == NK::Index) {
        const Vector* v = fast::declared_vector(*frame_, n->first);
        Number i;
        return v && fast_num(n->second, i) && fast::num_value(fast::element_at(*v, i), out);
    }
    return fast_num(n, out);
}

// test()'s way for what is no int comparison: a comparison with a size, or of doubles (or a
// double with an int) read straight from variables and literals, else the general condition.
// Kept small, so the doubles pay no set-up for the general way.
bool Interp::double_condition(const Node* n) {
    if (n->fast == F_CmpSize) return size_condition(n);
    double a, b;
    if (is_comparison(n->fast) && !frame_->dyn && fast::double_held(fast::leaf_value(*frame_, n->first, epoch_), a) &&
        fast::double_held(fast::leaf_value(*frame_, n->second, epoch_), b))
        return compare_values(n->op, a, b);
    return condition(n);
}

bool Interp::size_operand(const Node* k, Number& out) {
    return k->kind == NK::Dot && k->fast == F_None ? fast::size_of(*frame_, k, epoch_, out) : fast_num(k, out);
}

CHAI_HOT_INLINE bool Interp::size_test(const Node* n, bool& done) {
    const bool right = n->second->kind == NK::Dot;
    const Value* x = fast::leaf_value(*frame_, right ? n->first : n->second);
    Number size;
    if (!x || !x->imm_int() || !fast::size_of(*frame_, right ? n->second : n->first, epoch_, size) ||
        size.kind != NumKind::ULong)
        return done = false;
    // An int against a size converts to the unsigned type, as num_compare_quick has it.
    const uint64_t i = x->imm().u;
    return compare_values(n->op, right ? i : size.u, right ? size.u : i);
}

bool Interp::size_condition(const Node* n) {
    if (bool done = true, r = size_test(n, done); done) return r;
    Number a, b;
    if (size_operand(n->first, a) && size_operand(n->second, b)) return num_compare_quick(n->op, a, b);
    return condition(n);
}

bool Interp::condition(const Node* n) {
    if (is_comparison(n->fast)) {
        // Numbers read without boxes (arithmetic among the operands checks its own depth).
        Number a, b;
        if (fast_num(n->first, a) && fast_num(n->second, b)) return num_compare_quick(n->op, a, b);
    }
    check_depth(n);
    switch (n->kind) {
    case NK::Binary:
        if (is_comparison(n->op)) {
            // A bound that is a size (i < v.size()), the other side a variable, literal or
            // arithmetic on them.
            Number a, b;
            if ((n->first->kind == NK::Dot || n->second->kind == NK::Dot) && size_operand(n->first, a) &&
                size_operand(n->second, b))
                return num_compare_quick(n->op, a, b);
            // A conversion among the operands (x < double(n)): numbers computed without Values.
            // (Leaves and kept conversions of literals need no judging first.)
            if (n->first->kind == NK::Call || n->second->kind == NK::Call) {
                if ((num_leaf(n->first, a) && num_leaf(n->second, b)) ||
                    (fast::may_compute(n->first, epoch_) && fast::may_compute(n->second, epoch_) && num_expr(n->first, a) &&
                     num_expr(n->second, b))) {
                    // (Conversions mostly give doubles: those compared here, without a call.)
                    double x, y;
                    return quick::doubles(a, b, x, y) ? compare_values(n->op, x, y) : num_compare_quick(n->op, a, b);
                }
            }
            if (bool same; strings_compared(n, same)) return same;
            Value l = eval(n->first);
            Value r = eval(n->second);
            if (l.is_num() && r.is_num()) return num_compare_quick(n->op, l.num(), r.num());
            return truth(binary_values(n->op, n->symbol, l, r, n), n);
        }
        break;
    case NK::And: return condition(n->first) && condition(n->second);
    case NK::Or: return condition(n->first) || condition(n->second);
    default: break;
    }
    Value v = eval(n);
    if (v.tag() == Tag::Bool) return v.as_bool();
    return truth(v, n);
}

Value Interp::eval_binary(const Node* n) {
    if (n->fast == F_None || n->fast == F_CmpSize) {
        // Operands no short way computes (calls, strings, sizes).
    } else if (n->op <= OpCode::BitXor) {
        int32_t x;
        if (!frame_->dyn && int_operand(n, x)) return Value::of(x, kConst | kTemp);
        Number r;
        if (arith(n, r)) return make_num_result(r);
    } else {
        Number a, b;
        if (fast_num(n->first, a) && fast_num(n->second, b))
            return Value::boolean(num_compare_quick(n->op, a, b), kConst | kTemp);
    }
    Value l = eval_operand(n->first);
    Value r = eval_operand(n->second);
    // Two ints (call results, say): what binary_values gives them, without its call.
    if (l.imm_int() && r.imm_int()) {
        const int32_t x = l.int32(), y = r.int32();
        if (is_comparison(n->op)) return Value::boolean(compare_values(n->op, x, y), kConst | kTemp);
        int32_t out;
        if (fast::int_op(n->op, x, y, out)) return Value::of(out, kConst | kTemp);
    }
    return binary_operands(n, l, r);
}

Value Interp::binary_values(OpCode op, Symbol* fn, const Value& l, const Value& r, const Node* site) {
    if (l.is_num() && r.is_num()) {
        if (is_comparison(op)) return Value::boolean(num_compare_quick(op, l.num(), r.num()), kConst | kTemp);
        try {
            return make_num_result(num_binary_quick(op, l.num(), r.num()));
        } catch (const exception::detail_numeric_error& e) {
            fail(site, e.reason);
        }
    }
    if (!fn) fn = &syms_->of(binary_text(op));
    Arg args[2] = {{l}, {r}};
    if (site)
        if (const Callable* k = cached_intrinsic(site->site, *fn, epoch_))
            if (Value res = operator_intrinsic(site, *k, Args{args, 2}); !res.is_unset()) return res;
    if (const FnsInUse fl{*fn}) {
        Value res = try_dispatch(*fl, Args{args, 2}, nullptr, site, fn);
        if (!res.is_unset()) return res;
    }
    fail(site, "Can not find appropriate '" + *fn->name + "' operator.", "(" + type_desc(l) + ", " + type_desc(r) + ")");
}

// ++x / --x on a number variable, done in place; false when n is not of that shape.
bool Interp::step_in_place(const Node* n) {
    if ((n->op != OpCode::Incr && n->op != OpCode::Decr) || n->first->kind != NK::Id) return false;
    const Node* id = n->first;
    Value* v = fast::declared_var(*frame_, id);
    if (!v) v = var_slot(id);
    if (!v) return false;
    if (v->imm_int() && !v->is_const()) {
        const int32_t x = v->int32();
        *v = Value::of(static_cast<int32_t>(static_cast<uint32_t>(x) + (n->op == OpCode::Incr ? 1u : ~0u)));
        return true;
    }
    const int delta = n->op == OpCode::Incr ? 1 : -1;
    if (v->imm_num()) {
        if (v->is_const()) return false;
        Number x = v->imm();
        num_incr_quick(x, delta);
        *v = Value::number(x);
        return true;
    }
    Box* b = v->box();
    if (!b || !b->holds_scalar() || !b->scalar().imm_num() || (b->flags & kConst) || b->extra) return false;
    Number x = b->scalar().imm();
    num_incr_quick(x, delta);
    b->scalar() = Value::number(x);
    return true;
}

Value Interp::eval_prefix(const Node* n) {
    const bool step = n->op == OpCode::Incr || n->op == OpCode::Decr;
    if (step && step_in_place(n)) return eval(n->first);
    Value v = step ? eval_ref(n->first) : eval(n->first);
    switch (n->op) {
    case OpCode::Not:
        if (v.is_bool()) return Value::boolean(!v.as_bool(), kTemp);
        break;
    case OpCode::Neg:
        if (v.is_num()) return make_num_result(num_neg(v.num()));
        break;
    case OpCode::Plus:
        if (v.is_num()) return make_num_result(num_plus(v.num()));
        break;
    case OpCode::Compl:
        if (v.is_num() && !v.num().is_floating()) return make_num_result(num_compl(v.num()));
        break;
    case OpCode::Incr:
    case OpCode::Decr:
        if (v.is_num() && !v.is_const()) {
            Box* b = v.box();
            Number x = b->scalar().num();
            num_incr(x, n->op == OpCode::Incr ? 1 : -1);
            b->scalar() = Value::number(x);
            written(b);
            return v;
        }
        break;
    default: break;
    }
    if (const FnsInUse fl{*n->symbol}) {
        Arg args[1] = {{v}};
        Value r = try_dispatch(*fl, Args{args, 1}, nullptr, n, n->symbol);
        if (!r.is_unset()) return r;
    }
    fail(n, "Error with prefix operator evaluation: '" + n->text + "'", "(" + type_desc(v) + ")");
}

Value Interp::eval_interp(const Node* n) {
    std::string out;
    for (const auto& k : n->kids) {
        if (k->kind == NK::Const) {
            out += *k->constant->str();
        } else {
            Value v = eval(k.get());
            out += to_text(v, k.get());
        }
    }
    return make_str(std::move(out));
}

std::string Interp::to_text(const Value& v, const Node* site) {
    if (const std::string* s = v.str()) return *s;
    Arg args[1] = {{v}};
    Value r = call_symbol(*s_to_string_, Args{args, 1}, site);
    if (const std::string* s = r.str()) return *s;
    return "";
}

bool Interp::truth(const Value& v, const Node* site, const char* why) {
    if (v.is_bool()) return v.as_bool();
    // A statement or operator testing its condition reports the error as its own.
    if (const Node* p = site ? site->parent : nullptr) {
        switch (p->kind) {
        case NK::If: case NK::While: case NK::For: case NK::Ternary: case NK::And: case NK::Or: site = p; break;
        // A catch guard is tested by its try statement.
        case NK::Catch: site = p->parent ? p->parent : p; break;
        default: break;
        }
    }
    fail(site, why);
}

}  // namespace chai
