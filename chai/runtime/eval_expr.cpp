// Expressions: names, operators, assignment, literals.
#include <cstring>

#include "chai/runtime/char_ref.hpp"
#include "chai/runtime/interp.hpp"

namespace chai {

BoxRef Interp::eval(const Node* n) {
    switch (n->kind) {
    case NK::Const: return n->value;
    case NK::Id: return eval_id(n);
    case NK::Assign: return eval_assign(n);
    case NK::Binary: return eval_binary(n);
    case NK::And:
    case NK::Or: return bool_box(condition(n));
    case NK::Ternary: return condition(n->kid(0)) ? eval(n->kid(1)) : eval(n->kid(2));
    case NK::Prefix: return eval_prefix(n);
    case NK::Call: return eval_call(n);
    case NK::Dot: return eval_dot(n);
    case NK::Index: return eval_index(n);
    case NK::VectorLit:
    case NK::MapLit:
    case NK::RangeLit: return eval_container(n);
    case NK::InterpStr: return eval_interp(n);
    case NK::Lambda: return eval_lambda(n);
    case NK::VarDecl:
    case NK::RefDecl:
    case NK::GlobalDecl:
    case NK::AttrDecl: return eval_decl(n);
    case NK::Block: return eval_block(n, true);
    case NK::File: return eval_block(n, false);
    case NK::Def: return eval_def(n);
    case NK::Class: return eval_class(n);
    case NK::If: return eval_if(n);
    case NK::While: return eval_while(n);
    case NK::For: return eval_for(n);
    case NK::Switch: return eval_switch(n);
    case NK::Try: return eval_try(n);
    case NK::Return:
        ret = n->kids.empty() ? make_undef() : eval(n->kid(0));
        ctl = Ctl::Return;
        return ret;
    case NK::Break: ctl = Ctl::Break; return no_value();
    case NK::Continue: ctl = Ctl::Continue; return no_value();
    default: return no_value();
    }
}

BoxRef* Interp::find_global(uint32_t id) {
    auto g = globals.find(id);
    return g == globals.end() ? nullptr : &g->second;
}

BoxRef& Interp::declare(uint32_t id, BoxRef b, const Node* site) {
    for (size_t i = scope_base; i < locals.size(); ++i)
        if (locals[i].first == id) fail(site, "Variable redefined '" + name_of(id) + "'");
    for (size_t i = frame_base; i < scope_base; ++i)
        if (locals[i].first == id) {
            ++shadow_epoch;
            break;
        }
    locals.emplace_back(id, std::move(b));
    return locals.back().second;
}

BoxRef Interp::function_value(uint32_t id) {
    const FnList* fl = functions(id);
    if (!fl) return BoxRef();
    if (fl->size() == 1) return func_box(fl->front());
    auto set = std::make_shared<OverloadSet>();
    set->name = name_of(id);
    set->fns = *fl;
    // One arity shared by all overloads is the set's arity; otherwise it takes any number.
    set->arity = fl->front()->arity;
    for (const FuncRef& f : *fl)
        if (f->arity != set->arity) set->arity = -1;
    // Result and parameter types the overloads agree on; untyped where they differ.
    set->result = fl->front()->result;
    for (const FuncRef& f : *fl)
        if (!(f->result == set->result)) set->result = key_any();
    if (set->arity >= 0) {
        set->params = fl->front()->params;
        for (const FuncRef& f : *fl)
            for (size_t i = 0; i < set->params.size(); ++i)
                if (i >= f->params.size() || !(f->params[i] == set->params[i])) set->params[i] = key_any();
    }
    return func_box(set);
}

BoxRef Interp::lookup(uint32_t id, const Node* site) {
    if (BoxRef* v = find_var(id)) return *v;
    if (BoxRef f = function_value(id)) return f;
    // Every type name T also answers to T_type, a Type_Info value.
    const std::string& name = name_of(id);
    if (name.size() > 5 && name.compare(name.size() - 5, 5, "_type") == 0) {
        std::string base = name.substr(0, name.size() - 5);
        const TypeKey* k = builtin_type_key(base);
        // Named as type_name() names values: long_type.name() is "int64_t". Object and Number name
        // any value and any number in function descriptions; void is what host procedures return.
        if (k || reg.type_names.count(base) || classes.count(intern(base)) || base == "Object" || base == "Number" ||
            base == "void")
            return make_box(Value(TypeInfoV{k ? key_name(*k) : base, k && k->kind == TypeKey::Num, false}));
    }
    fail(site, "Can not find object: " + name);
}

BoxRef Interp::eval_id(const Node* n) {
    if (BoxRef* v = var_slot(n)) return *v;
    return lookup(n->name, n);
}

bool Interp::truth(const BoxRef& b, const Node* site, const char* why) {
    if (const bool* v = std::get_if<bool>(&b->v)) return *v;
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

BoxRef Interp::eval_decl(const Node* n) {
    switch (n->kind) {
    case NK::VarDecl:
    case NK::RefDecl: return declare(n->name, make_undef(), n);
    case NK::GlobalDecl: {
        check_name(n->name, "global", n);
        BoxRef& g = globals[n->name];
        if (!g) g = make_undef();
        return g;
    }
    default:  // attr Class::name outside a class body
        add_attribute(n->name2, n->name, n);
        return no_value();
    }
}

void Interp::assign(const BoxRef& dst, const BoxRef& src, const Node* site) {
    Box& d = *dst;
    if (dst.get() == src.get()) return;
    if (d.undef()) {
        if (d.is_const) fail(site, "Error, cannot assign to temporary value.");
        if (src->is_temp && src->refs == 1) {
            d.v = std::move(src->v);
        } else if (!clone_value(src->v, d.v)) {
            fail(site, "Missing clone or copy constructor for right hand side of equation");
        }
        track_box(d);
        return;
    }
    if (d.is_num() && src->is_num()) {
        if (d.is_const) fail(site, "Error with unsupported arithmetic assignment operation");
        d.num() = num_convert(src->num(), d.num().kind);
        if (d.char_ref) write_back_char(d);
        return;
    }
    if (d.idx() == src->idx() && d.idx() != V_Object && d.idx() != V_Number) {
        if (d.is_const) fail(site, "Error, cannot assign to temporary value.");
        if (d.idx() == V_Host) {
            if (std::get<HostObj>(d.v).type != std::get<HostObj>(src->v).type) goto user;
            if (!clone_value(src->v, d.v)) fail(site, "Missing clone or copy constructor for right hand side of equation");
            return;
        }
        d.v = src->v;
        if (d.char_ref) write_back_char(d);
        return;
    }
user:
    static const uint32_t assign_id = intern("=");
    if (const FnList* fl = functions(assign_id)) {
        BoxRef args[2] = {dst, src};
        bool matched = false;
        BoxRef r = try_dispatch(*fl, Args{args, 2}, nullptr, site, matched);
        if (matched) return;
    }
    fail(site, "Unable to find appropriate'=' operator.", "(" + type_desc(d) + ", " + type_desc(*src) + ")");
}

void Interp::compound_assign(const Node* n, const BoxRef& dst, const BoxRef& src) {
    Box& d = *dst;
    OpCode op = n->op;
    if (d.is_num() && src->is_num()) {
        if (op == OpCode::Div) {
            // Division goes through the plain operator, so dividing by zero reports as such.
            d.num() = num_convert(num_binary(NumOp::Div, d.num(), src->num()), d.num().kind);
            if (d.char_ref) write_back_char(d);
            return;
        }
        bool int_only = op == OpCode::Mod || op == OpCode::Shl || op == OpCode::Shr || op == OpCode::BitAnd ||
                        op == OpCode::BitOr || op == OpCode::BitXor;
        if (d.is_const || (int_only && (d.num().is_floating() || src->num().is_floating())))
            fail(n, "Error with unsupported arithmetic assignment operation");
        try {
            Number r = num_binary_quick(static_cast<NumOp>(op), d.num(), src->num());
            d.num() = r.kind == d.num().kind ? r : num_convert(r, d.num().kind);
        } catch (const exception::arithmetic_error&) {
            fail(n, "Error with unsupported arithmetic assignment operation");
        }
        if (d.char_ref) write_back_char(d);
        return;
    }
    if (op == OpCode::Add && d.idx() == V_String && src->idx() == V_String) {
        if (d.is_const) fail(n, "Error, cannot assign to temporary value.");
        check_string_size(std::get<std::string>(d.v).size() + std::get<std::string>(src->v).size());
        std::get<std::string>(d.v) += std::get<std::string>(src->v);
        if (d.char_ref) write_back_char(d);
        return;
    }
    std::string opname = n->text;
    if (const FnList* fl = functions(n->name)) {
        BoxRef args[2] = {dst, src};
        bool matched = false;
        try_dispatch(*fl, Args{args, 2}, nullptr, n, matched);
        if (matched) return;
    }
    // No fallback to a = a op b: a type supports op= only through its own op= overloads.
    fail(n, "Unable to find appropriate'" + opname + "' operator.", "(" + type_desc(d) + ", " + type_desc(*src) + ")");
}

BoxRef Interp::eval_assign(const Node* n) {
    const Node* l = n->kid(0);
    const Node* r = n->kid(1);
    bool binds = n->op == OpCode::Bind || l->kind == NK::RefDecl;
    BoxRef rhs = binds ? eval_arg(r) : eval(r);
    if (binds) {
        BoxRef* slot = nullptr;
        if (l->kind == NK::VarDecl || l->kind == NK::RefDecl) {
            rhs->is_temp = false;
            declare(l->name, rhs, l);
            return rhs;
        }
        if (l->kind == NK::Id) slot = find_var(l->name);
        if (l->kind == NK::GlobalDecl) {
            check_name(l->name, "global", l);
            slot = &globals[l->name];
        }
        if (l->kind == NK::Dot && !l->flag) {
            BoxRef obj = eval(l->kid(0));
            if (auto* o = std::get_if<ObjRef>(&obj->v)) slot = &(*o)->attrs[name_of(l->name)];
        }
        if (!slot) {
            if (l->kind == NK::Id) fail(l, "Can not find object: " + name_of(l->name));
            fail(n, "Error, cannot assign to temporary value.");
        }
        // Rebinding keeps the exact type: int and double differ, as do host types.
        if (*slot && !(*slot)->undef() && ((*slot)->idx() != rhs->idx() || type_name_of(**slot) != type_name_of(*rhs)))
            fail(n, "Mismatched types in equation");
        rhs->is_temp = false;
        *slot = rhs;
        return rhs;
    }
    BoxRef lhs = l->kind == NK::Index ? eval_index_ref(l) : l->kind == NK::Dot ? eval_dot(l, true) : eval(l);
    if (n->op == OpCode::Assign) {
        assign(lhs, rhs, n);
    } else {
        compound_assign(n, lhs, rhs);
    }
    return lhs;
}

BoxRef Interp::binary_values(OpCode op, uint32_t fn, const std::string& text, const BoxRef& l, const BoxRef& r,
                             const Node* site) {
    if (l->is_num() && r->is_num()) {
        NumOp nop = static_cast<NumOp>(op);
        if (op >= OpCode::Lt && op <= OpCode::Ne) {
            BoxRef b = bool_box(num_compare(nop, l->num(), r->num()));
            b->is_const = true;
            return b;
        }
        try {
            return make_num_result(num_binary(nop, l->num(), r->num()));
        } catch (const exception::detail_numeric_error& e) {
            fail(site, e.reason);
        }
    }
    BoxRef args[2] = {l, r};
    if (const FnList* fl = functions(fn)) {
        bool matched = false;
        BoxRef res = try_dispatch(*fl, Args{args, 2}, nullptr, site, matched);
        if (matched) return res;
    }
    fail(site, "Can not find appropriate '" + text + "' operator.", "(" + type_desc(*l) + ", " + type_desc(*r) + ")");
}

const Number* Interp::arith_operand(const Node* x, Number& tmp) {
    if (x->kind == NK::Binary && x->op <= OpCode::BitXor) {
        const Number* a = num_leaf(x->first);
        const Number* b = a ? num_leaf(x->second) : nullptr;
        if (b && a->kind == NumKind::Int && b->kind == NumKind::Int && x->op <= OpCode::Mod &&
            (x->op <= OpCode::Mul || (b->i != 0 && b->i != -1))) {
            tmp = num_binary_quick(static_cast<NumOp>(x->op), *a, *b);
            return &tmp;
        }
    }
    return fast_num(x, tmp) ? &tmp : nullptr;
}

bool Interp::fast_num(const Node* n, Number& out) {
    if (n->kind == NK::Binary && n->op <= OpCode::BitXor) {
        const Number *a, *b;
        Number ta, tb;
        if (!fast_operands(n, a, b, ta, tb)) return false;
        try {
            out = num_binary_quick(static_cast<NumOp>(n->op), *a, *b);
        } catch (const exception::detail_numeric_error& e) {
            fail(n, e.reason);
        }
        return true;
    }
    const Number* v = num_leaf(n);
    if (!v) return false;
    out = *v;
    return true;
}

// A comparison whose operands are not both plain numbers.
bool Interp::boxed_comparison(const Node* n) {
    BoxRef l = eval(n->first);
    BoxRef r = eval(n->second);
    if (l->is_num() && r->is_num()) return num_compare_quick(static_cast<NumOp>(n->op), l->num(), r->num());
    return truth(binary_values(n->op, n->name, n->text, l, r, n), n);
}

bool Interp::other_condition(const Node* n) {
    switch (n->kind) {
    case NK::And: return condition(n->kid(0)) && condition(n->kid(1));
    case NK::Or: return condition(n->kid(0)) || condition(n->kid(1));
    default: break;
    }
    return truth(eval(n), n);
}

BoxRef Interp::eval_binary(const Node* n) {
    Number fast;
    if (n->op <= OpCode::BitXor && fast_num(n, fast)) return make_num_result(fast);
    BoxRef l = eval(n->kid(0));
    BoxRef r = eval(n->kid(1));
    return binary_values(n->op, n->name, n->text, l, r, n);
}

BoxRef Interp::eval_prefix(const Node* n) {
    bool step = n->op == OpCode::Incr || n->op == OpCode::Decr;
    BoxRef v = step ? eval_arg(n->first) : eval(n->first);
    Box& b = *v;
    switch (n->op) {
    case OpCode::Not:
        if (const bool* x = std::get_if<bool>(&b.v)) return bool_box(!*x);
        break;
    case OpCode::Neg:
        if (b.is_num()) return make_num_result(num_neg(b.num()));
        break;
    case OpCode::Plus:
        if (b.is_num()) return make_num_result(num_plus(b.num()));
        break;
    case OpCode::Compl:
        if (b.is_num() && !b.num().is_floating()) return make_num_result(num_compl(b.num()));
        break;
    case OpCode::Incr:
    case OpCode::Decr:
        if (b.is_num() && !b.is_const) {
            num_incr(b.num(), n->op == OpCode::Incr ? 1 : -1);
            if (b.char_ref) write_back_char(b);
            return v;
        }
        break;
    default: break;
    }
    if (const FnList* fl = functions(n->name)) {
        bool matched = false;
        BoxRef args[1] = {v};
        BoxRef r = try_dispatch(*fl, Args{args, 1}, nullptr, n, matched);
        if (matched) return r;
    }
    fail(n, "Error with prefix operator evaluation: '" + n->text + "'", "(" + type_desc(b) + ")");
}

BoxRef Interp::eval_index(const Node* n) {
    BoxRef c = eval(n->kid(0));
    BoxRef i = eval(n->kid(1));
    return index_values(c, i, n);
}

BoxRef Interp::eval_index_ref(const Node* n) {
    BoxRef c = eval(n->kid(0));
    BoxRef i = eval(n->kid(1));
    if (auto* s = std::get_if<std::string>(&c->v); s && i->is_num()) {
        uint64_t k = i->num().as<uint64_t>();
        if (k >= s->size()) throw_string_index(k, s->size());
        if (!c->is_const) return make_char_ref(c, k);
        // A char of a constant (a literal) cannot be changed.
        BoxRef ch = num_box((*s)[k]);
        ch->is_const = true;
        return ch;
    }
    return index_values(c, i, n);
}

BoxRef Interp::index_values(const BoxRef& c, const BoxRef& i, const Node* n) {
    if (auto* v = std::get_if<Vector>(&c->v)) {
        if (i->is_num()) {
            uint64_t k = i->num().as<uint64_t>();
            if (k >= v->size())
                throw_vector_index(k, v->size());
            return (*v)[k];
        }
    } else if (auto* m = std::get_if<Map>(&c->v)) {
        if (auto* key = std::get_if<std::string>(&i->v)) {
            BoxRef& slot = (*m)[*key];
            if (!slot) slot = make_undef();
            return slot;
        }
    } else if (auto* s = std::get_if<std::string>(&c->v)) {
        if (i->is_num()) {
            uint64_t k = i->num().as<uint64_t>();
            if (k >= s->size())
                throw_string_index(k, s->size());
            return num_box((*s)[k]);
        }
    } else if (auto* o = std::get_if<ObjRef>(&c->v)) {
        if (auto* key = std::get_if<std::string>(&i->v)) {
            BoxRef& slot = (*o)->attrs[*key];
            if (!slot) slot = make_undef();
            return slot;
        }
    }
    BoxRef args[2] = {c, i};
    static const uint32_t index_id = intern("[]");
    if (const FnList* fl = functions(index_id)) {
        bool matched = false;
        BoxRef r = try_dispatch(*fl, Args{args, 2}, nullptr, n, matched);
        if (matched) return r;
    }
    fail(n, "Can not find appropriate array lookup operator '[]'.", "(" + type_desc(*c) + ", " + type_desc(*i) + ")");
}

BoxRef Interp::eval_container(const Node* n) {
    if (n->kind == NK::RangeLit) {
        BoxRef args[2] = {eval(n->kid(0)), eval(n->kid(1))};
        static const uint32_t range_id = intern("generate_range");
        if (const FnList* fl = functions(range_id)) {
            bool matched = false;
            BoxRef r = try_dispatch(*fl, Args{args, 2}, nullptr, n, matched);
            if (matched) return r;
        }
        fail(n, "Unable to generate range vector, while calling 'generate_range'",
             "(" + type_desc(*args[0]) + ", " + type_desc(*args[1]) + ")");
    }
    if (n->kind == NK::MapLit) {
        Map m;
        for (const auto& p : n->kids) {
            BoxRef k = eval(p->kid(0));
            BoxRef v = eval(p->kid(1));
            auto* key = std::get_if<std::string>(&k->v);
            if (!key) fail(p.get(), "Map keys must be strings", "(" + type_desc(*k) + ")");
            m[*key] = literal_element(v, p.get(), "Can not find appropriate copy constructor or 'clone' while inserting into Map.");
        }
        return make_box(Value(std::move(m)));
    }
    Vector v;
    v.reserve(n->kids.size());
    for (const auto& k : n->kids)
        v.push_back(literal_element(eval(k.get()), n, "Can not find appropriate 'clone' or copy constructor for vector elements"));
    return make_box(Value(std::move(v)));
}

// An element of a container literal is a copy of its value; host objects that cannot be copied
// are an error unless the value is a fresh result, which the container takes over.
BoxRef Interp::literal_element(const BoxRef& b, const Node* site, const char* uncopyable) {
    if (b->idx() != V_Host) return clone_box(b);
    if (b->is_temp && b->refs == 1) return make_box(b->v, false);
    Value copy;
    if (!clone_value(b->v, copy)) fail(site, uncopyable);
    return make_box(std::move(copy), false);
}

BoxRef Interp::eval_interp(const Node* n) {
    std::string out;
    for (const auto& k : n->kids) {
        if (k->kind == NK::Const) {
            out += std::get<std::string>(k->value->v);
        } else {
            BoxRef v = eval(k.get());
            out += to_text(v, k.get());
        }
    }
    return make_str(std::move(out));
}

std::string Interp::to_text(const BoxRef& b, const Node* site) {
    if (auto* s = std::get_if<std::string>(&b->v)) return *s;
    BoxRef args[1] = {b};
    static const uint32_t to_string_id = intern("to_string");
    BoxRef r = call_named(to_string_id, Args{args, 1}, site);
    if (auto* s = std::get_if<std::string>(&r->v)) return *s;
    return "";
}

BoxRef Interp::new_object(const std::string& cls) {
    // Declared attributes come into being on first use, through their getter functions.
    auto o = std::make_shared<DynObject>();
    o->cls = cls;
    return make_box(Value(std::move(o)));
}

}  // namespace chai
