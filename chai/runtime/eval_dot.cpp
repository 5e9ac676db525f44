// Member access and method calls (obj.name, obj.name(args)).
#include <algorithm>

#include "chai/runtime/fast_paths.hpp"
#include "chai/runtime/lone_call.hpp"
#include "chai/runtime/objects.hpp"
#include "chai/runtime/site_intrinsic.hpp"

namespace chai {

namespace {
// The most arguments (the object included) a method site keeps on the C++ stack.
constexpr size_t kDotArgs = 4;
}  // namespace

Value Interp::call_attr_function(const Value& fn, Args a, const Node* site, const Value& obj) {
    return call_value(fn, a.tail(1), site, &obj);
}

Value Interp::call_member_value(const FnList& fns, Args a, const Node* site) {
    for (const FuncRef& f : fns) {
        if (!f->member_getter) continue;
        const FnList one{f};
        Value v = try_dispatch(one, Args{a.data, 1}, nullptr, nullptr, nullptr);
        if (v.is_unset()) continue;  // a member of another type
        if (a.size == 1 && v.kind() != Kind::Function) return v;
        return call_attr_function(v, a, site, a[0]);
    }
    return Value::unset();
}

Value* Interp::attr_slot(const Node* n) {
    const Node* r = n->first;
    const Value* receiver = r->fast == F_Local && !frame_->dyn ? &frame_->slots[r->slot] : var_slot(r);
    Box* b = receiver ? receiver->box() : nullptr;
    if (!b || b->p.index() != P_Object || !n->symbol->only_attr_getters) return nullptr;
    DynObject& d = **std::get_if<P_Object>(&b->p);
    const uint32_t id = d.names.get() == &syms_->names() ? n->symbol->id : attr_id(d, *n->symbol);
    for (auto& [key, attr] : d.attrs)
        // A function held in an attribute is called: no plain read.
        if (key == id) return attr.boxed() && attr.kind() == Kind::Function ? nullptr : &attr;
    return nullptr;
}

bool Interp::script_method_missing() const {
    const FnList* fns = s_method_missing_->fns.get();
    return fns && std::any_of(fns->begin(), fns->end(), [](const FuncRef& f) { return !f->host; });
}

Value* Interp::new_attr_place(const Node* n) {
    const Node* r = n->first;
    const Value* receiver = r->fast == F_Local && !frame_->dyn ? &frame_->slots[r->slot] : var_slot(r);
    Box* b = receiver ? receiver->box() : nullptr;
    if (!b || b->p.index() != P_Object || script_method_missing()) return nullptr;
    DynObject& d = **std::get_if<P_Object>(&b->p);
    if (d.is_explicit || d.names.get() != &syms_->names()) return nullptr;
    const Symbol& cls = syms_->at(d.cls);
    // A new attribute comes into being: declared by the object's class, or no function claims it.
    if (d.find(n->symbol->id) || (n->symbol->fns && !(cls.cls && cls.cls->declares(n->symbol->id)))) return nullptr;
    return &d.slot(n->symbol->id);
}

Value Interp::eval_dot(const Node* n, bool target, bool ref) {
    if (n->fast == F_Attr && !target && !ref)
        if (Value* attr = attr_slot(n)) return *attr;
    if (!n->symbol->member_getters && n->kids.size() <= kIntrinsicArgs)
        if (const Callable* k = cached_intrinsic(n->site, *n->symbol, epoch_))
            return n->kids.size() == 2 && n->first->kind == NK::Id ? intrinsic_on_number(n, *k, target, ref)
                                                                    : intrinsic_site<false>(n, *k, target, ref);
    return eval_dot_general(n, target, ref);
}

[[gnu::always_inline]] inline Value Interp::method_call(const Node* n, Args a, bool target, bool ref) {
    const std::string& name = n->name;
    Symbol& sym = *n->symbol;
    const Value& obj = a[0];
    const ObjRef* dyn = obj.obj();
    // An existing attribute answers directly unless a function of that name (other than an
    // attribute getter) could take the call first; a call of a declared attribute is always
    // the attribute's.
    if (dyn) {
        DynObject& o = **dyn;
        const uint32_t id = o.names.get() == &syms_->names() ? sym.id : attr_id(o, sym);
        if (Value* attr = o.find(id)) {
            const Symbol* cls = o.names.get() == &syms_->names() ? &syms_->at(o.cls) : nullptr;
            const bool declared = cls && cls->cls && cls->cls->declares(id);
            if (sym.only_attr_getters || (n->parens && declared)) {
                if (attr->kind() == Kind::Function && !target && (n->parens || !declared))
                    return call_attr_function(*attr, a, n, obj);
                if (!n->parens) return ref || target ? promote(*attr) : *attr;
            }
        }
    }
    // A host data member holding a function is called before any function of the name.
    const bool member_first = n->parens && !dyn && sym.member_getters;
    if (!member_first)
        if (Value r = lone_call(sym, a, n, true); !r.is_unset()) return r;
    const FnsInUse fl(sym);
    if (member_first && fl) {
        Value r = call_member_value(*fl, a, n);
        if (!r.is_unset()) return r;
    }
    if (fl) {
        bool declined = false;
        Value r;
        try {
            r = try_dispatch(*fl, a, nullptr, n, &sym, &declined);
        } catch (const exception::detail_numeric_error& e) {
            fail(n, e.reason);
        }
        if (!r.is_unset()) return r;
        // A library function that cannot take a script object is no match for it: the
        // object's own fallbacks below decide.
        if (declined && !dyn) conversion_failed(*fl, a, n, name);
    }
    Value r = dot_fallbacks(n, a, obj);
    if (!r.is_unset()) return r;
    if (!fl) fail(n, "'" + name + "' is not a function.");
    dispatch_failed(*fl, a, n, name, true);
}

Value Interp::dot_call(const Node* n, Args a, bool target, bool ref) { return method_call(n, a, target, ref); }

Value Interp::eval_dot_general(const Node* n, bool target, bool ref) {
    const auto call = [&](auto& buf, auto&& put) {
        try {
            for (size_t i = 0; i < n->kids.size(); ++i) put(buf, n->kid(i));
            frame_->site = n;
            return method_call(n, buf.args(), target, ref);
        } catch (exception::eval_error& e) {
            add_call_trace(e, n);
            throw;
        }
    };
    // The arguments of most calls fit on the C++ stack, made where they stay.
    if (n->kids.size() <= kDotArgs) {
        SiteArgs<kDotArgs> buf;
        return call(buf, [&](auto& b, const Node* e) { b.add([&] { return site_arg(e); }); });
    }
    ArgList buf(n->kids.size());
    return call(buf, [&](auto& b, const Node* e) { b.push(site_arg(e)); });
}

// What obj.name(args) does when no function takes it: the script's method_missing, then an
// object's own attributes. Unset when nothing applies.
Value Interp::dot_fallbacks(const Node* n, Args a, const Value& obj) {
    const std::string& name = n->name;
    if (const FnList* all = s_method_missing_->fns.get()) {
        // Script-defined fallbacks: (obj, name, [args]) first, then (obj, name) whose result, when
        // it is a function, is called with the arguments (even with none); arguments for a result
        // that is no function fail as an impossible cast.
        FnList mfl;
        for (const FuncRef& f : *all)
            if (!f->host) mfl.push_back(f);
        if (!mfl.empty()) {
            Vector rest;
            for (size_t i = 1; i < a.size; ++i) rest.push_back(a[i]);
            Arg margs[3] = {{obj}, {make_str(name)}, {make_vec(std::move(rest))}};
            Value r = try_dispatch(mfl, Args{margs, 3}, nullptr, nullptr, nullptr);
            if (!r.is_unset()) return r;
            r = try_dispatch(mfl, Args{margs, 2}, nullptr, nullptr, nullptr);
            if (!r.is_unset()) {
                if (r.kind() == Kind::Function) return call_value(r, a.tail(1), n, &obj);
                if (a.size > 1) throw exception::bad_boxed_cast("No known conversion");
                return r;
            }
        }
    }
    const ObjRef* dyn = obj.obj();
    if (!dyn) return Value::unset();
    DynObject& o = **dyn;
    const uint32_t id = attr_id(o, *n->symbol);
    // The object's own member: a function in it is called with the arguments (`this` = the
    // object), another value is the result when there are none.
    if (Value* attr = o.find(id)) {
        if (attr->kind() == Kind::Function) return call_attr_function(*attr, a, n, obj);
        if (a.size == 1) return promote(*attr);
        throw exception::bad_boxed_cast("No known conversion");
    }
    // Unknown member of a script object: the library's method_missing makes it an attribute on
    // first use, also when it is called (its undefined value is then the result, or no function
    // to take the arguments). An explicit object makes none: the call fails.
    if (o.is_explicit) return Value::unset();
    Value& attr = o.slot(id);
    if (!n->parens) return promote(attr);
    if (a.size == 1) return Value();
    throw exception::bad_boxed_cast("No known conversion");
}

// ---- indexing and container literals ----

Value Interp::eval_index(const Node* n, bool ref) {
    // An element's value from a Vector variable at a number read without side effects: neither is
    // copied first.
    if (!ref)
        if (const Value* e = fast::vector_element(*this, n)) return *e;
    Value c = eval(n->first);
    Value i = eval(n->second);
    if (ref)
        if (const std::string* s = c.str(); s && i.is_num()) {
            const uint64_t k = i.num().as<uint64_t>();
            if (k >= s->size()) throw_string_index(k, s->size());
            if (!c.is_const()) return make_char_ref(c, k);
            // A char of a constant (a literal) cannot be changed.
            return Value::of((*s)[k], kConst | kTemp);
        }
    return index_values(c, i, n, ref);
}

Value Interp::index_values(const Value& c, const Value& i, const Node* n, bool ref) {
    // Elements come back as themselves when a reference is wanted, else as their values.
    const auto element = [ref](Value& e) { return ref ? Value(promote(e)) : e; };
    if (Vector* v = c.vec()) {
        if (i.is_num()) {
            const uint64_t k = i.num().as<uint64_t>();
            if (k >= v->size()) throw_vector_index(k, v->size());
            return element((*v)[k]);
        }
    } else if (Map* m = c.map()) {
        if (const std::string* key = i.str()) return element((*m)[*key]);
    } else if (const std::string* s = c.str()) {
        if (i.is_num()) {
            const uint64_t k = i.num().as<uint64_t>();
            if (k >= s->size()) throw_string_index(k, s->size());
            return Value::of((*s)[k], kTemp);
        }
    } else if (const ObjRef* o = c.obj()) {
        if (const std::string* key = i.str()) return element((*o)->slot((*o)->names->intern(*key)));
    }
    Arg args[2] = {{c}, {i}};
    if (const FnsInUse fl{*s_index_}) {
        Value r = try_dispatch(*fl, Args{args, 2}, nullptr, n, s_index_);
        if (!r.is_unset()) return r;
    }
    fail(n, "Can not find appropriate array lookup operator '[]'.", "(" + type_desc(c) + ", " + type_desc(i) + ")");
}

Value Interp::eval_container(const Node* n) {
    if (n->kind == NK::RangeLit) {
        Arg args[2] = {{eval(n->first)}, {eval(n->second)}};
        if (const FnsInUse fl{*n->symbol}) {
            Value r = try_dispatch(*fl, Args{args, 2}, nullptr, n, n->symbol);
            if (!r.is_unset()) return r;
        }
        fail(n, "Unable to generate range vector, while calling 'generate_range'",
             "(" + type_desc(args[0].value) + ", " + type_desc(args[1].value) + ")");
    }
    if (n->kind == NK::MapLit) {
        Map m;
        for (const auto& p : n->kids) {
            Value k = eval(p->first);
            Value v = eval(p->second);
            const std::string* key = k.str();
            if (!key) fail(p.get(), "Map keys must be strings", "(" + type_desc(k) + ")");
            m[*key] = literal_element(v, p.get(), "Can not find appropriate copy constructor or 'clone' while inserting into Map.");
        }
        return make_map(std::move(m));
    }
    Vector v;
    v.reserve(n->kids.size());
    for (const auto& k : n->kids)
        v.push_back(literal_element(eval(k.get()), n, "Can not find appropriate 'clone' or copy constructor for vector elements"));
    return make_vec(std::move(v));
}

// An element of a container literal is a copy of its value; host objects that cannot be copied
// are an error unless the value is a fresh result, which the container takes over.
Value Interp::literal_element(const Value& v, const Node* site, const char* uncopyable) {
    const HostObj* h = v.host();
    if (!h) return clone(v);
    if (v.is_temp() && v.box()->refs == 1) return make_boxed(v.box()->p, 0);
    if (!h->type->copy) fail(site, uncopyable);
    return clone(v);
}

}  // namespace chai
