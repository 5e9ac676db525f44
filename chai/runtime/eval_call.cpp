// Calls, method calls, function definitions and classes.
#include <algorithm>

#include "chai/runtime/interp.hpp"

namespace chai {

namespace {
// Evaluates call arguments into a small buffer.
struct ArgBuf {
    BoxRef small[6];
    std::vector<BoxRef> big;
    size_t n = 0;
    void reserve(size_t k) {
        if (k > 6) big.resize(k);
    }
    BoxRef* data() { return big.empty() ? small : big.data(); }
    void push(BoxRef b) { data()[n++] = std::move(b); }
    Args args() { return Args{data(), n}; }
};

}  // namespace

bool Interp::declares_attr(const DynObject& o, uint32_t attr) const {
    auto it = classes.find(intern(o.cls));
    return it != classes.end() && std::find(it->second.attrs.begin(), it->second.attrs.end(), attr) != it->second.attrs.end();
}

BoxRef Interp::call_attr_function(const BoxRef& fn, Args a, const Node* site, const BoxRef& obj) {
    return call_value(fn, Args{a.data + 1, a.size - 1}, site, &obj);
}

BoxRef Interp::call_member_value(const FnList& fns, Args a, const Node* site) {
    for (const FuncRef& f : fns) {
        if (!f->member_getter) continue;
        FnList one{f};
        bool matched = false;
        BoxRef v;
        try {
            v = try_dispatch(one, Args{a.data, 1}, nullptr, nullptr, matched);
        } catch (const ConversionFailed&) {
            continue;  // a member of another type
        }
        if (!matched) continue;
        if (a.size == 1 && v->idx() != V_Func) return v;
        return call_attr_function(v, a, site, a[0]);
    }
    return BoxRef();
}

BoxRef Interp::eval_call(const Node* n) {
    ArgBuf buf;
    buf.reserve(n->kids.size() - 1);
    const Node* callee = n->kid(0);
    try {
        for (size_t i = 1; i < n->kids.size(); ++i) buf.push(eval_arg(n->kid(i)));
        if (callee->kind == NK::Id) {
            if (BoxRef* v = var_slot(callee)) {
                BoxRef fn = *v;
                return call_value(fn, buf.args(), n);
            }
            const FnList* fl = functions(callee->name);
            if (!fl) return call_value(lookup(callee->name, callee), buf.args(), n);  // unknown name: reported
            return dispatch(*fl, buf.args(), n, callee->text);
        }
        BoxRef fn = eval(callee);
        return call_value(fn, buf.args(), n);
    } catch (exception::eval_error& e) {
        add_call_trace(e, n);
        throw;
    }
}

void Interp::add_call_trace(exception::eval_error& e, const Node* n) const {
    complete_trace(e, n);
    if (e.call_stack.empty() || e.call_stack.back().node() != n) e.call_stack.push_back(trace(n));
}

BoxRef Interp::eval_dot(const Node* n, bool target) {
    ArgBuf buf;
    buf.reserve(n->kids.size());
    const std::string& name = n->text;
    try {
        BoxRef obj = eval(n->kid(0));
        buf.push(obj);
        for (size_t i = 1; i < n->kids.size(); ++i) buf.push(eval_arg(n->kid(i)));
        ObjRef* dyn = std::get_if<ObjRef>(&obj->v);
        // An existing attribute answers directly unless a function of that name (other than an
        // attribute getter) could take the call first; a call of a declared attribute is always
        // the attribute's.
        if (dyn) {
            auto it = (*dyn)->attrs.find(name);
            if (it != (*dyn)->attrs.end() &&
                (only_attr_getters(n->name) || (n->flag && declares_attr(**dyn, n->name)))) {
                if (it->second->idx() == V_Func && !target && (n->flag || !declares_attr(**dyn, n->name)))
                    return call_attr_function(it->second, buf.args(), n, obj);
                if (!n->flag) return it->second;
            }
        }
        const FnList* fl = functions(n->name);
        if (n->flag && !dyn && fl && has_member_getters(n->name))
            if (BoxRef r = call_member_value(*fl, buf.args(), n)) return r;
        if (fl) {
            bool matched = false;
            BoxRef r;
            try {
                r = try_dispatch(*fl, buf.args(), nullptr, n, matched);
            } catch (const ConversionFailed&) {
                // A library function that cannot take a script object is no match for it: the
                // object's own fallbacks below decide.
                if (!dyn) conversion_failed(*fl, buf.args(), n, name);
            } catch (const exception::detail_numeric_error& e) {
                fail(n, e.reason);
            }
            if (matched) return r;
        }
        static const uint32_t mm = intern("method_missing");
        if (const FnList* mfl = functions(mm)) {
            // Script-defined fallbacks: (obj, name, [args]) first, then (obj, name) whose
            // result, when it is a function, is called with the arguments (even with none);
            // arguments for a result that is no function fail as an impossible cast.
            BoxRef margs[3] = {obj, make_str(name), BoxRef()};
            Vector rest(buf.data() + 1, buf.data() + buf.n);
            margs[2] = make_box(Value(std::move(rest)));
            bool matched = false;
            BoxRef r = try_dispatch(*mfl, Args{margs, 3}, nullptr, n, matched);
            if (matched) return r;
            r = try_dispatch(*mfl, Args{margs, 2}, nullptr, n, matched);
            if (matched) {
                if (r->idx() == V_Func) {
                    Args a = buf.args();
                    return call_value(r, Args{a.data + 1, a.size - 1}, n, &obj);
                }
                if (buf.n > 1) throw exception::bad_boxed_cast("No known conversion");
                return r;
            }
        }
        if (dyn) {
            // The object's own member: a function in it is called with the arguments (`this` =
            // the object), another value is the result when there are none.
            auto it = (*dyn)->attrs.find(name);
            if (it != (*dyn)->attrs.end()) {
                if (it->second->idx() == V_Func) return call_attr_function(it->second, buf.args(), n, obj);
                if (buf.n == 1) return it->second;
                throw exception::bad_boxed_cast("No known conversion");
            }
            // Unknown member of a script object: attributes come into being on first use.
            if (!n->flag) {
                if ((*dyn)->is_explicit) fail(n, "'" + name + "' is not a function.");
                BoxRef& slot = (*dyn)->attrs[name];
                if (!slot) slot = make_undef();
                return slot;
            }
            if (buf.n == 1) return make_undef();
            throw exception::bad_boxed_cast("No known conversion");
        }
        if (!fl) fail(n, "'" + name + "' is not a function.");
        dispatch_failed(*fl, buf.args(), n, name, true);
    } catch (exception::eval_error& e) {
        add_call_trace(e, n);
        throw;
    }
}

BoxRef Interp::eval_lambda(const Node* n) {
    auto f = std::make_shared<ScriptFn>();
    f->name = "anonymous";
    f->host = false;
    f->keep = current_program;
    f->body = n->kid(0);
    f->def = n;
    f->arity = static_cast<int>(n->params.size());
    for (const ParamDecl& p : n->params) {
        f->names.push_back(p.name);
        f->params.push_back(p.type.empty() ? key_any() : resolve_type(p.type));
    }
    for (uint32_t c : n->captures) {
        BoxRef* v = find_var(c);
        if (!v) fail(n, "Can not find object: " + name_of(c));
        f->captures.emplace_back(c, *v);
    }
    f->note_names();
    return func_box(f);
}

void Interp::check_name(uint32_t id, const char* what, const Node* site) {
    static const uint32_t reserved[] = {
        intern("def"),   intern("fun"),   intern("while"), intern("for"),    intern("if"),     intern("else"),
        intern("&&"),    intern("||"),    intern(","),     intern("auto"),   intern("return"), intern("break"),
        intern("true"),  intern("false"), intern("class"), intern("attr"),   intern("var"),    intern("global"),
        intern("GLOBAL"), intern("_")};
    for (uint32_t r : reserved)
        if (id == r) fail(site, std::string("Reserved word used as ") + what + " name '" + name_of(id) + "'");
}

BoxRef Interp::eval_def(const Node* n) {
    check_name(n->name, n->name2 && n->name != n->name2 ? "method" : "function", n);
    auto f = std::make_shared<ScriptFn>();
    f->name = name_of(n->name);
    f->host = false;
    f->keep = current_program;
    f->body = n->kid(0);
    f->def = n;
    f->annotation = n->text;
    f->seq = ++fn_seq;
    if (n->flag) {
        f->guard = n->kid(1);
        f->guarded = true;
    }
    if (n->name2) {
        const std::string& cls = name_of(n->name2);
        if (n->name == n->name2) {
            f->ctor = true;
            f->cls = cls;
        } else {
            f->method = true;
            f->params.push_back(resolve_type(cls));
        }
    }
    for (const ParamDecl& p : n->params) {
        f->names.push_back(p.name);
        f->params.push_back(p.type.empty() ? key_any() : resolve_type(p.type));
    }
    f->arity = static_cast<int>(f->params.size());
    f->note_names();
    add_function(n->name, f, n);
    return no_value();
}

void Interp::add_attribute(uint32_t cls, uint32_t attr, const Node* site) {
    check_name(attr, "attribute", site);
    ClassInfo& ci = classes[cls];
    for (uint32_t a : ci.attrs)
        if (a == attr) fail(site, "Attribute redefined '" + name_of(attr) + "'");
    ci.attrs.push_back(attr);
    // The attribute's name also works as a getter function: level(lamp).
    std::string name = name_of(attr);
    auto getter = std::make_shared<NativeFn>();
    getter->name = name;
    getter->arity = 1;
    getter->params = {resolve_type(name_of(cls))};
    getter->attr_getter = true;
    getter->fn = [name](Interp&, Args a) {
        BoxRef& slot = std::get<ObjRef>(a[0]->v)->attrs[name];
        if (!slot) slot = make_undef();
        return slot;
    };
    add_function(attr, getter);
}

BoxRef Interp::eval_class(const Node* n) {
    for (const auto& k : n->kids) {
        if (k->kind == NK::AttrDecl) add_attribute(n->name, k->name, k.get());
        else eval_def(k.get());
    }
    return no_value();
}

}  // namespace chai
