// Calls, arguments, function definitions and classes.
#include "chai/runtime/fast_paths.hpp"
#include "chai/runtime/interp.hpp"
#include "chai/runtime/objects.hpp"
#include "chai/runtime/site_intrinsic.hpp"

namespace chai {

Arg Interp::eval_arg(const Node* n) {
    switch (n->kind) {
    case NK::Id: {
        Value* s = fast::declared_var(*frame_, n);
        if (!s) s = var_slot(n);
        if (!s) return {eval_id(n)};
        if (s->boxed()) return {*s};
        // The callee takes a reference only if it needs one (see Args::ref). Variables stay
        // where they are while the call runs: the caller's frame and the engine's records.
        return {Value::unset(), s};
    }
    case NK::Const: return {*n->constant};
    case NK::Index:
    case NK::Ternary:
    case NK::Prefix: return {eval_ref(n)};
    case NK::Dot:
        if (!n->parens) return {eval_ref(n)};
        return {eval(n)};
    default: return {eval(n)};
    }
}

Value Interp::eval_ref(const Node* n) {
    check_depth(n);
    switch (n->kind) {
    case NK::Id:
        if (Value* s = var_slot(n)) return promote(*s);
        break;
    case NK::Index: return eval_index(n, true);
    case NK::Dot:
        if (!n->parens) return eval_dot(n, false, true);
        break;
    case NK::Ternary: return condition(n->condition()) ? eval_ref(n->second) : eval_ref(n->otherwise());
    case NK::Prefix:
        if (n->op == OpCode::Incr || n->op == OpCode::Decr) {
            Value v = eval_prefix(n);
            return v.boxed() ? v : eval_ref(n->first);
        }
        break;
    default: break;
    }
    Value v = eval(n);
    promote(v);
    return v;
}

Value Interp::eval_result(const Node* n) {
    // The function's own variables end with the call: their values are enough.
    if (n->kind == NK::Id && n->ref == Ref::Local) return eval(n);
    if (n->kind == NK::Id || n->kind == NK::Index || (n->kind == NK::Dot && !n->parens)) return eval_ref(n);
    return eval(n);
}

Value Interp::eval_call(const Node* n) {
    const Node* callee = n->first;
    if (callee->kind == NK::Id && callee->symbol && n->kids.size() <= 1 + kIntrinsicArgs)
        if (const Callable* k = cached_intrinsic(n->site, *callee->symbol, epoch_)) {
            // A conversion of literals kept at the site (see intrinsic_site), while no variable can
            // take the name.
            if (n->site->folded_by == k && names_no_variable(callee)) return n->site->folded;
            return intrinsic_site<true>(n, *k, false, false);
        }
    return eval_call_general(n);
}

[[gnu::always_inline]] inline Value Interp::named_call(const Node* n, Args a) {
    const Node* callee = n->first;
    const bool no_variable = names_no_variable(callee);
    if (no_variable)
        if (Value r = call_lone(*callee->symbol, a, n, false); !r.is_unset()) return r;
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

Value Interp::eval_call_general(const Node* n) {
    const Node* callee = n->first;
    ArgList buf(n->kids.size() - 1);
    try {
        for (size_t i = 1; i < n->kids.size(); ++i) buf.push(eval_arg(n->kid(i)));
        frame_->site = n;
        if (callee->kind == NK::Id) return named_call(n, buf.args());
        Value fn = eval(callee);
        return call_value_dropped(fn, buf.args(), n);
    } catch (exception::eval_error& e) {
        add_call_trace(e, n);
        throw;
    }
}

namespace {
void set_origin(ScriptFn& f, const Node* def, const Interp::Running& r) {
    if (r.tree) f.tree = *r.tree;
    if (r.prog) f.prog = *r.prog;
    f.set_def(def);
}
}  // namespace

Value Interp::eval_lambda(const Node* n) {
    auto f = std::make_shared<ScriptFn>();
    f->name = "anonymous";
    f->host = false;
    set_origin(*f, n, running);
    f->arity = static_cast<int>(n->params.size());
    for (const ParamDecl& p : n->params) f->params.push_back(p.type.empty() ? key_any() : resolve_type(p.type));
    f->plain = takes_any_values(*f);
    for (const CaptureSource& c : n->frame->capture_from) {
        Node probe;
        probe.ref = c.ref;
        probe.slot = c.slot;
        probe.symbol = c.symbol;
        probe.name = c.name;
        Value* v = var_slot(&probe);
        if (!v) fail(n, "Can not find object: " + c.name);
        f->captures.push_back(promote(*v));
    }
    return make_func(std::move(f));
}

void Interp::check_name(const std::string& name, const char* what, const Node* site) {
    static const char* const reserved[] = {"def",    "fun",   "while", "for",   "if",    "else",   "&&",
                                           "||",     ",",     "auto",  "return", "break", "true",  "false",
                                           "class",  "attr",  "var",   "global", "GLOBAL", "_"};
    for (const char* r : reserved)
        if (name == r) fail(site, std::string("Reserved word used as ") + what + " name '" + name + "'");
}

Value Interp::eval_def(const Node* n) {
    const bool in_class = n->class_symbol != nullptr;
    check_name(n->name, in_class && n->name != n->class_name ? "method" : "function", n);
    auto f = std::make_shared<ScriptFn>();
    f->name = n->name;
    f->host = false;
    set_origin(*f, n, running);
    f->annotation = n->annotation;
    f->seq = ++fn_seq_;
    f->guarded = n->guarded;
    if (in_class) {
        if (n->name == n->class_name) {
            f->ctor = true;
            f->cls = n->class_symbol->id;
        } else {
            f->method = true;
            f->params.push_back(resolve_type(n->class_name));
        }
    }
    for (const ParamDecl& p : n->params) f->params.push_back(p.type.empty() ? key_any() : resolve_type(p.type));
    f->arity = static_cast<int>(f->params.size());
    f->plain = !f->ctor && !f->method && takes_any_values(*f);
    f->plain_method = f->method && !f->guarded && f->params[0].kind == TypeKey::Class && untyped_from(*f, 1);
    add_function(*n->symbol, std::move(f), n);
    return no_value();
}

void Interp::add_attribute(Symbol& cls, Symbol& attr, const Node* site) {
    check_name(*attr.name, "attribute", site);
    if (!cls.cls) cls.cls = std::make_unique<ClassInfo>();
    if (cls.cls->declares(attr.id)) fail(site, "Attribute redefined '" + *attr.name + "'");
    cls.cls->attrs.push_back(attr.id);
    // The attribute's name also works as a getter function: level(lamp).
    auto getter = std::make_shared<NativeFn>();
    getter->name = *attr.name;
    getter->arity = 1;
    getter->params = {resolve_type(*cls.name)};
    getter->attr_getter = true;
    getter->fn = [names = syms_->names_ptr(), id = attr.id](Context&, Args a) {
        DynObject& o = **a[0].obj();
        Value& slot = o.slot(o.names == names ? id : o.names->intern(names->name(id)));
        return promote(slot);
    };
    add_function(attr, std::move(getter));
}

Value Interp::eval_class(const Node* n) {
    for (const auto& k : n->kids) {
        if (k->kind == NK::AttrDecl) add_attribute(*n->symbol, *k->symbol, k.get());
        else eval_def(k.get());
    }
    return no_value();
}

uint32_t Interp::attr_id(const DynObject& o, const Symbol& s) {
    return o.names.get() == &syms_->names() ? s.id : o.names->intern(*s.name);
}

}  // namespace chai
