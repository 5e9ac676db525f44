// Where names are found at run time, and declarations. Resolved names go straight to their slot
// or record; names that eval'd code brings are found by name through the frames it runs in.
#include "chai/runtime/interp.hpp"

namespace chai {

namespace {

// The innermost variable of that name declared in frame f (slot or eval'd declaration).
Value* search_frame(Frame& f, const std::string& name) {
    Value* best = nullptr;
    int depth = -1;
    if (f.info)
        for (uint32_t s = f.info->nslots; s-- > 0;)
            if (!f.slots[s].is_unset() && f.info->slot_decls[s].depth > depth && f.info->slot_decls[s].name == name) {
                best = &f.slots[s];
                depth = f.info->slot_decls[s].depth;
            }
    if (f.dyn)
        for (DynVar& d : *f.dyn)
            if (d.level >= depth && d.name == name) {
                best = &d.value;
                depth = d.level;
            }
    return best;
}

// Whether frame f's scope at that depth already has a variable of that name.
bool in_scope(Frame& f, int level, const std::string& name) {
    if (f.info)
        for (uint32_t s = 0; s < f.info->nslots; ++s)
            if (!f.slots[s].is_unset() && f.info->slot_decls[s].depth == level && f.info->slot_decls[s].name == name) return true;
    if (f.dyn)
        for (const DynVar& d : *f.dyn)
            if (d.level == level && d.name == name) return true;
    return false;
}

}  // namespace

Value* Interp::find_by_name(const std::string& name, Symbol* sym) {
    bool file_level = frame_ == nullptr;
    for (Frame* f = frame_; f; f = f->outer) {
        if (Value* v = search_frame(*f, name)) return v;
        if (!f->eval_frame) {
            file_level = f->file_level;
            break;
        }
        if (!f->outer) file_level = true;  // eval'd with nothing around it: the top level
    }
    if (!sym) sym = syms_->find(name);
    if (!sym) return nullptr;
    if (file_level && !sym->top.is_unset()) return &sym->top;
    if (!sym->global.is_unset()) return &sym->global;
    return nullptr;
}

Value* Interp::var_slot(const Node* id) {
    Frame& f = *frame_;
    switch (id->ref) {
    case Ref::Local: {
        Value* s = &f.slots[id->slot];
        if (!f.dyn && !s->is_unset()) return s;
        // Not declared after all (its declaration did not run), or eval'd code declared names
        // here that may hide it.
        return find_by_name(id->name, nullptr);
    }
    case Ref::Top:
        if (f.dyn)
            if (Value* v = search_frame(f, id->name)) return v;
        if (!id->symbol->top.is_unset()) return &id->symbol->top;
        return id->symbol->global.is_unset() ? nullptr : &id->symbol->global;
    case Ref::Global:
        if (f.dyn)
            if (Value* v = search_frame(f, id->name)) return v;
        return id->symbol->global.is_unset() ? nullptr : &id->symbol->global;
    case Ref::Dynamic: return find_by_name(id->name, id->symbol);
    default: return nullptr;
    }
}

Value& Interp::declare(const Node* d) {
    const std::string& name = d->name;
    const auto redefined = [&]() { fail(d, "Variable redefined '" + name + "'"); };
    if (d->ref == Ref::Local) {
        Value& s = frame_->slots[d->slot];
        if (!s.is_unset() || (frame_->dyn && in_scope(*frame_, d->depth, name))) redefined();
        s = Value();
        return s;
    }
    // Eval'd code declares into the scope it runs in.
    Frame* t = frame_;
    int level = d->depth;
    if (d->ref == Ref::Dynamic)
        while (t && t->eval_frame && level == 0 && t->outer) {
            t = t->outer;
            level = t->level();
        }
    if (d->ref == Ref::Top || !t || (level == 0 && (t->file_level || t->eval_frame))) {
        Symbol& sym = d->symbol ? *d->symbol : syms_->of(name);
        if (!sym.top.is_unset()) redefined();
        sym.top = Value();
        return sym.top;
    }
    if (in_scope(*t, level, name)) redefined();
    if (!t->dyn) t->dyn = std::make_unique<std::deque<DynVar>>();
    t->dyn->push_back({name, Value(), level});
    return t->dyn->back().value;
}

void Interp::trim_dyn(int depth) {
    auto& d = *frame_->dyn;
    while (!d.empty() && d.back().level >= depth) d.pop_back();
}

Value Interp::eval_decl(const Node* n) {
    switch (n->kind) {
    case NK::VarDecl:
    case NK::RefDecl: return declare(n);
    case NK::GlobalDecl: {
        check_name(n->name, "global", n);
        Value& g = n->symbol->global;
        if (g.is_unset()) g = Value();
        return g;
    }
    default:  // attr Class::name outside a class body
        add_attribute(*n->class_symbol, *n->symbol, n);
        return no_value();
    }
}

Value Interp::function_value(std::string_view name) {
    Symbol* s = syms_->find(name);
    if (!s || !s->fns) return Value::unset();
    const FnList& fl = *s->fns;
    if (fl.size() == 1) return make_func(fl.front());
    auto set = std::make_shared<OverloadSet>();
    set->name = std::string(name);
    set->fns = fl;
    // One arity shared by all overloads is the set's arity; otherwise it takes any number.
    set->arity = fl.front()->arity;
    for (const FuncRef& f : fl)
        if (f->arity != set->arity) set->arity = -1;
    // Result and parameter types the overloads agree on; untyped where they differ.
    set->result = fl.front()->result;
    for (const FuncRef& f : fl)
        if (!(f->result == set->result)) set->result = key_any();
    if (set->arity >= 0) {
        set->params = fl.front()->params;
        for (const FuncRef& f : fl)
            for (size_t i = 0; i < set->params.size(); ++i)
                if (i >= f->params.size() || !(f->params[i] == set->params[i])) set->params[i] = key_any();
    }
    return make_func(std::move(set));
}

Value Interp::lookup_name(const Symbol* s, const std::string& name, const Node* site) {
    if (s && s->fns) return function_value(name);
    // Every type name T also answers to T_type, a Type_Info value.
    if (name.size() > 5 && name.compare(name.size() - 5, 5, "_type") == 0) {
        const std::string base = name.substr(0, name.size() - 5);
        const TypeKey* k = builtin_type_key(base);
        // Named as type_name() names values: long_type.name() is "int64_t". Object and Number name
        // any value and any number in function descriptions; void is what host procedures return.
        Symbol* cls = syms_->find(base);
        if (k || reg_.type_named(base) || (cls && cls->cls) || base == "Object" || base == "Number" || base == "void")
            return make_type_info({k ? key_name(*k) : base, k && k->kind == TypeKey::Num, false});
    }
    fail(site, "Can not find object: " + name);
}

Value Interp::lookup(std::string_view name) {
    const std::string n(name);
    if (Value* v = find_by_name(n, nullptr)) return *v;
    return lookup_name(syms_->find(n), n, nullptr);
}

Map Interp::visible_objects() {
    Map m;
    bool file_level = frame_ == nullptr;
    std::vector<Frame*> chain;
    for (Frame* f = frame_; f; f = f->outer) {
        chain.push_back(f);
        if (!f->eval_frame) {
            file_level = f->file_level;
            break;
        }
        if (!f->outer) file_level = true;
    }
    syms_->each([&](Symbol& s) {
        if (!s.global.is_unset()) m[*s.name] = promote(s.global);
        if (file_level && !s.top.is_unset()) m[*s.name] = promote(s.top);
    });
    // Outer frames first, so inner variables win.
    for (size_t i = chain.size(); i-- > 0;) {
        Frame& f = *chain[i];
        if (f.info)
            for (uint32_t s = 0; s < f.info->nslots; ++s)
                if (!f.slots[s].is_unset()) m[f.info->slot_decls[s].name] = promote(f.slots[s]);
        if (f.dyn)
            for (DynVar& d : *f.dyn) m[d.name] = promote(d.value);
    }
    return m;
}

void Interp::set_top(const std::string& name, Value v) { syms_->of(name).top = std::move(v); }

}  // namespace chai
