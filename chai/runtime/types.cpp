// Type names and parameter types: what type_name() says, what a typed parameter accepts, and how
// signatures read in error messages.
#include <algorithm>
#include <atomic>

#include "chai/runtime/interp.hpp"
#include "chai/runtime/objects.hpp"

namespace chai {

TypeKey key_any() { return TypeKey{}; }
TypeKey key_num(NumKind k) {
    TypeKey t;
    t.kind = TypeKey::Num;
    t.nk = k;
    t.name = kind_name(k);
    return t;
}
TypeKey key_of(TypeKey::Kind k, const char* name) {
    TypeKey t;
    t.kind = k;
    t.name = name;
    return t;
}
std::string key_name(const TypeKey& k) { return k.kind == TypeKey::Any ? "Object" : k.name; }

const TypeKey* builtin_type_key(const std::string& name) {
    static const std::map<std::string, TypeKey> builtin = [] {
        std::map<std::string, TypeKey> m;
        const NumKind all[] = {NumKind::Int8, NumKind::UInt8, NumKind::Int16, NumKind::UInt16, NumKind::Int,
                               NumKind::UInt, NumKind::Long, NumKind::ULong, NumKind::LongLong, NumKind::ULongLong,
                               NumKind::Char, NumKind::WChar, NumKind::Char16, NumKind::Char32, NumKind::Float,
                               NumKind::Double, NumKind::LongDouble};
        for (NumKind k : all) m[kind_name(k)] = key_num(k);
        m["int32_t"] = key_num(NumKind::Int);
        m["unsigned_int"] = key_num(NumKind::UInt);
        m["long"] = key_num(NumKind::Long);
        m["unsigned_long"] = key_num(NumKind::ULong);
        m["uint64_t"] = key_num(NumKind::ULong);
        m["bool"] = key_of(TypeKey::Bool, "bool");
        m["string"] = key_of(TypeKey::Str, "string");
        m["Vector"] = key_of(TypeKey::Vec, "Vector");
        m["Map"] = key_of(TypeKey::MapT, "Map");
        m["Pair"] = key_of(TypeKey::PairT, "Pair");
        m["Map_Pair"] = key_of(TypeKey::MapPairT, "Map_Pair");
        m["Function"] = key_of(TypeKey::Func, "Function");
        m["Dynamic_Object"] = key_of(TypeKey::Obj, "Dynamic_Object");
        m["Range"] = key_of(TypeKey::RangeT, "Range");
        m["Type_Info"] = key_of(TypeKey::TypeInfoT, "Type_Info");
        // Parameters typed Object take anything, Number any arithmetic value.
        m["Object"] = key_any();
        m["Number"] = key_of(TypeKey::Arith, "Number");
        for (const char* e : {"runtime_error", "out_of_range", "exception", "eval_error", "range_error",
                              "logic_error", "arithmetic_error"})
            m[e] = key_of(TypeKey::Error, e);
        return m;
    }();
    auto it = builtin.find(name);
    return it == builtin.end() ? nullptr : &it->second;
}

TypeKey Interp::resolve_type(const std::string& name) {
    if (const TypeKey* k = builtin_type_key(name)) return *k;
    if (const TypeKey* k = reg_.type_named(name)) return *k;
    TypeKey t;
    t.kind = TypeKey::Class;
    t.cls = syms_->names().intern(name);
    t.name = name;
    return t;
}

std::string Interp::type_name(const Value& v) {
    switch (v.kind()) {
    case Kind::Undef: return "";
    case Kind::Bool: return "bool";
    case Kind::Number: return kind_name(v.num().kind);
    case Kind::String: return v.flags() & kCString ? "char" : "string";
    case Kind::Vector: return "Vector";
    case Kind::Map: return "Map";
    case Kind::Pair: return v.pair()->map_pair ? "Map_Pair" : "Pair";
    case Kind::Function: return "Function";
    case Kind::Object: return "Dynamic_Object";
    case Kind::Host: return reg_.name_of(*v.host()->type);
    case Kind::Error: return v.error()->type_name();
    case Kind::Range: return "Range";
    case Kind::TypeInfo: return "Type_Info";
    }
    return "";
}

std::string Interp::type_desc(const Value& v) { return (v.is_const() ? "const " : "") + type_name(v); }

Value Interp::new_object(std::string_view cls) {
    // Declared attributes come into being on first use, through their getter functions.
    return make_box<P_Object>(std::make_shared<DynObject>(syms_->names_ptr(), syms_->names().intern(cls)));
}

// ---- signatures ----

std::string type_list(const std::vector<std::string>& names, bool dot) {
    std::string s = "(";
    for (size_t i = 0; i < names.size(); ++i) s += (i == 0 ? "" : dot && i == 1 ? ").(" : ", ") + names[i];
    if (dot && names.size() == 1) s += ").(";
    return s + ")";
}

std::string Callable::signature(bool dot) const {
    if (arity < 0) return dot ? "(Object).(...)" : "(...)";
    std::vector<std::string> names;
    for (const TypeKey& k : params) names.push_back((k.is_const ? "const " : "") + key_name(k));
    return type_list(names, dot);
}

std::string ScriptFn::signature(bool dot) const {
    std::string s = Callable::signature(dot);
    if (guarded && guard) s += " : " + node_text(*guard);
    return s;
}

bool same_signature(const Callable& a, const Callable& b) {
    // A class's constructor is no overload of a free function of the same name, nor the reverse.
    auto ctor = [](const Callable& c) { return c.type == Callable::Type::Script && static_cast<const ScriptFn&>(c).ctor; };
    return !a.guarded && !b.guarded && a.arity == b.arity && a.params == b.params && ctor(a) == ctor(b);
}

bool functions_equal(const Callable& a, const Callable& b) {
    if (&a == &b) return true;
    const bool sa = a.type == Callable::Type::Set, sb = b.type == Callable::Type::Set;
    if (sa || sb) {
        if (!sa || !sb) return false;
        const FnList& x = static_cast<const OverloadSet&>(a).fns;
        const FnList& y = static_cast<const OverloadSet&>(b).fns;
        if (x.size() != y.size()) return false;
        for (size_t i = 0; i < x.size(); ++i)
            if (!functions_equal(*x[i], *y[i])) return false;
        return true;
    }
    return a.type == Callable::Type::Script && b.type == Callable::Type::Script && same_signature(a, b);
}

FuncRef make_native(const std::string& name, std::vector<TypeKey> params, NativeBody fn, int arity, TypeKey result) {
    auto f = std::make_shared<NativeFn>();
    f->name = name;
    f->result = std::move(result);
    f->arity = arity == -2 ? static_cast<int>(params.size()) : arity;
    f->params = std::move(params);
    f->fn = std::move(fn);
    return f;
}

FuncRef make_bound(const Value& target, std::vector<Value> fixed) {
    auto f = std::make_shared<BoundFn>();
    const Callable& fn = **target.func();
    f->name = fn.name;
    f->result = fn.result;
    f->target = target;
    // The placeholders are the parameters left open.
    f->arity = fn.arity < 0 ? -1 : 0;
    for (size_t i = 0; i < fixed.size(); ++i)
        if (fixed[i].is_unset() && f->arity >= 0) {
            ++f->arity;
            f->params.push_back(i < fn.params.size() ? fn.params[i] : key_any());
        }
    f->fixed = std::move(fixed);
    return f;
}

// ---- dispatch errors ----

namespace {
// One candidate of a failed dispatch; script functions also tell where they were defined (where
// their body begins).
std::string candidate(const Callable& f, bool dot) {
    std::string s = f.signature(dot) + "\n";
    if (f.type != Callable::Type::Script) return s;
    const Node* body = static_cast<const ScriptFn&>(f).body;
    if (!body) return s;
    const File_Position at = body->kids.empty() ? body->end : body->kids.front()->start;
    return s + "          Defined at (" + body->file_name() + " " + std::to_string(at.line) +
           ", " + std::to_string(at.column) + ")\n";
}
}  // namespace

void Interp::conversion_failed(const FnList& fns, Args a, const Node* site, const std::string& name) {
    std::string params = "(";
    for (size_t i = 0; i < a.size; ++i) params += (i ? ", " : "") + type_desc(a[i]);
    fail(site, "Error calling function '" + name + "'", params + ")",
         fns.size() == 1 ? "  Expected: " + candidate(*fns[0], false) : std::string());
}

void Interp::dispatch_failed(const FnList& fns, Args a, const Node* site, const std::string& name, bool dot_form) {
    std::vector<std::string> types;
    for (size_t i = 0; i < a.size; ++i) types.push_back(type_desc(a[i]));
    const std::string params = type_list(types, dot_form);
    std::string detail;
    if (fns.size() == 1) {
        detail = "  Expected: " + candidate(*fns[0], dot_form);
    } else {
        detail = "  " + std::to_string(fns.size()) + " overloads available:\n";
        for (const FuncRef& f : fns) detail += "      " + candidate(*f, dot_form);
    }
    if (dot_form) fail(site, "Error with function dispatch for function '" + name + "'", params, detail);
    if (fns.size() == 1) {
        const Callable& f = *fns[0];
        if (f.arity >= 0 && f.arity != static_cast<int>(a.size))
            fail(site, "Function dispatch arity mismatch with function '" + name + "'");
        // A lone host function is called directly: its arguments fail to convert.
        if (f.host) conversion_failed(fns, a, site, name);
        bool numeric = false;
        // Library Number parameters stand for C++ arithmetic types; a script's Number does not.
        for (const TypeKey& t : f.params) numeric |= t.kind == TypeKey::Num || (t.kind == TypeKey::Arith && f.host);
        if (!numeric) fail(site, "Guard evaluation failed with function '" + name + "'");
    }
    fail(site, "Error with function dispatch with function '" + name + "'", params, detail);
}

// ---- host types ----

void HostRegistry::name_type(const HostTypeInfo& t, const std::string& name) {
    names_[t.id] = name;
    TypeKey k;
    k.kind = TypeKey::Host;
    k.host = &t;
    k.name = name;
    keys_[name] = k;
}

std::string HostRegistry::name_of(const HostTypeInfo& t) const {
    auto it = names_.find(t.id);
    if (it != names_.end()) return it->second;
    if (shared_) return shared_->name_of(t);
    return t.type->name();
}

const TypeKey* HostRegistry::type_named(const std::string& name) const {
    auto it = keys_.find(name);
    if (it != keys_.end()) return &it->second;
    return shared_ ? shared_->type_named(name) : nullptr;
}

TypeKey host_key(const HostRegistry& r, const HostTypeInfo& t) {
    TypeKey k;
    k.kind = TypeKey::Host;
    k.host = &t;
    k.name = r.name_of(t);
    return k;
}

uint32_t next_host_type_id() {
    static std::atomic<uint32_t> next{1};
    return next.fetch_add(1);
}

}  // namespace chai
