// Arguments, function definitions and classes.
#include <algorithm>
#include <string_view>
#include <utility>

#include "chai/runtime/fast_paths.hpp"
#include "chai/runtime/interp.hpp"
#include "chai/runtime/objects.hpp"
#include "chai/runtime/site_intrinsic.hpp"

namespace chai {

// Out of line: its locals would enlarge eval_arg's C++ frame for the other kinds.
[[gnu::noinline]] Arg Interp::binary_arg(const Node* n) {
    if (int32_t x; int_arg(n, x)) return {Value::of(x, kConst | kTemp)};
    return {eval(n)};
}

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
    case NK::Binary: return binary_arg(n);
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
    if (const Value* v = fast::result_leaf(*frame_, n)) return *v;
    // The function's own variables end with the call: their values are enough.
    if (n->kind == NK::Id && n->ref == Ref::Local) return eval(n);
    if (n->kind == NK::Id || n->kind == NK::Index || (n->kind == NK::Dot && !n->parens)) return eval_ref(n);
    // A closing store of a number in an attribute (`this.y = b`) as its statement makes it.
    if (n->kind == NK::Assign && n->first->fast == F_Attr && n->op == OpCode::Assign) {
        check_depth(n);
        if (const Value* stored = store_attr_number(n)) return *stored;
    }
    return eval_operand(n);
}

// Apart from the loops' file: another inlined test there would crowd their own short ways out.
void Interp::exec_if_return(const Node* n) {
    if (Value v; run_if_return(n, v) && ctl_ == Ctl::None) {
        ret_ = std::move(v);
        ctl_ = Ctl::Return;
    }
}

namespace {
void set_origin(ScriptFn& f, const Node* def, const Running& r) {
    if (r.tree) f.tree = *r.tree;
    if (r.prog) f.prog = *r.prog;
    f.set_def(def);
}
}  // namespace

Value Interp::eval_lambda(const Node* n) {
    auto f = std::make_shared<ScriptFn>();
    f->name = "anonymous";
    f->host = false;
    set_origin(*f, n, frame_->running);
    f->arity = static_cast<int>(n->params().size());
    for (const ParamDecl& p : n->params()) f->params.push_back(p.type.empty() ? key_any() : resolve_type(p.type));
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
    // Views know their lengths: most names differ from each word in length alone.
    static constexpr std::string_view reserved[] = {"def",    "fun",   "while", "for",   "if",    "else",   "&&",
                                                    "||",     ",",     "auto",  "return", "break", "true",  "false",
                                                    "class",  "attr",  "var",   "global", "GLOBAL", "_"};
    for (const std::string_view r : reserved)
        if (name == r) fail(site, std::string("Reserved word used as ") + what + " name '" + name + "'");
}

Value Interp::eval_def(const Node* n) {
    const bool in_class = n->class_symbol != nullptr;
    check_name(n->name, in_class && n->name != n->class_name() ? "method" : "function", n);
    auto f = std::make_shared<ScriptFn>();
    f->name = n->name;
    f->host = false;
    set_origin(*f, n, frame_->running);
    f->annotation = n->annotation();
    f->seq = ++fn_seq_;
    f->guarded = n->guarded;
    if (in_class) {
        if (n->name == n->class_name()) {
            f->ctor = true;
            f->cls = n->class_symbol->id;
        } else {
            f->method = true;
            f->params.push_back(resolve_type(n->class_name()));
        }
    }
    for (const ParamDecl& p : n->params()) f->params.push_back(p.type.empty() ? key_any() : resolve_type(p.type));
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

// ---- defining functions ----

void Interp::new_functions(Symbol& s, FnListRef list) {
    // Calls still reading the old list hold it (FnsInUse).
    set_functions(s, std::move(list), syms_->next_version());
}

void Interp::add_function(Symbol& s, FuncRef f, const Node* site) {
    // Room for the new one at once: the copy is made for every function a host adds.
    auto list = std::make_shared<FnList>();
    list->reserve((s.fns ? s.fns->size() : 0) + 1);
    if (s.fns) list->assign(s.fns->begin(), s.fns->end());
    if (!f->host && !f->guarded)
        for (const FuncRef& o : *list)
            // Host functions never clash with script ones: they keep precedence instead.
            if (!o->host && same_signature(*o, *f)) {
                const bool method = f->type == Callable::Type::Script && static_cast<const ScriptFn&>(*f).method;
                fail(site, std::string(method ? "Method" : "Function") + " redefined '" + *s.name + "'");
            }
    // Host functions first, then guarded script functions, then the rest; each in definition order.
    auto rank = [](const Callable& c) { return c.host ? 0 : c.guarded ? 1 : 2; };
    auto pos = std::find_if(list->begin(), list->end(), [&](const FuncRef& o) { return rank(*o) > rank(*f); });
    list->insert(pos, std::move(f));
    new_functions(s, std::move(list));
}

void Interp::each_function(const std::function<void(const std::string&, const FnList&)>& f) {
    std::vector<Symbol*> named;
    syms_->each([&](Symbol& s) {
        if (s.fns) named.push_back(&s);
    });
    std::sort(named.begin(), named.end(), [](const Symbol* a, const Symbol* b) { return *a->name < *b->name; });
    for (Symbol* s : named) f(*s->name, *s->fns);
}

std::vector<std::string> Interp::class_names() {
    std::vector<std::string> out;
    syms_->each([&](Symbol& s) {
        if (s.cls) out.push_back(*s.name);
    });
    return out;
}

}  // namespace chai
