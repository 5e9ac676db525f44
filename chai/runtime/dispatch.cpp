// Function values, overload resolution and calls.
#include <algorithm>

#include "chai/runtime/interp.hpp"

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

uint32_t id_this() {
    static const uint32_t id = intern("this");
    return id;
}

FuncRef make_native(const std::string& name, std::vector<TypeKey> params, std::function<BoxRef(Interp&, Args)> fn,
                    int arity, TypeKey result) {
    auto f = std::make_shared<NativeFn>();
    f->name = name;
    f->result = std::move(result);
    f->arity = arity == -2 ? static_cast<int>(params.size()) : arity;
    f->params = std::move(params);
    f->fn = std::move(fn);
    return f;
}

FuncRef make_bound(const BoxRef& target, std::vector<BoxRef> fixed) {
    auto f = std::make_shared<BoundFn>();
    const Callable& fn = *std::get<FuncRef>(target->v);
    f->name = fn.name;
    f->result = fn.result;
    f->target = target;
    // The placeholders are the parameters left open.
    f->arity = fn.arity < 0 ? -1 : 0;
    for (size_t i = 0; i < fixed.size(); ++i)
        if (!fixed[i] && f->arity >= 0) {
            ++f->arity;
            f->params.push_back(i < fn.params.size() ? fn.params[i] : key_any());
        }
    f->fixed = std::move(fixed);
    return f;
}

BoxRef func_box(FuncRef f) { return make_box(Value(std::move(f))); }

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

namespace {
// One candidate of a failed dispatch; script functions also tell where they were defined (where
// their body begins).
std::string candidate(const Callable& f, bool dot) {
    std::string s = f.signature(dot) + "\n";
    auto* sf = dynamic_cast<const ScriptFn*>(&f);
    if (!sf || !sf->body) return s;
    const Node& b = *sf->body;
    const File_Position at = b.kids.empty() ? b.end : b.kids.front()->start;
    return s + "          Defined at (" + (b.file ? *b.file : std::string()) + " " + std::to_string(at.line) + ", " +
           std::to_string(at.column) + ")\n";
}
}  // namespace

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

TypeKey Interp::resolve_type(const std::string& name) const {
    if (const TypeKey* k = builtin_type_key(name)) return *k;
    auto h = reg.type_names.find(name);
    if (h != reg.type_names.end()) return h->second;
    TypeKey t;
    t.kind = TypeKey::Class;
    t.cls = intern(name);
    t.name = name;
    return t;
}

// 0: exact, 1: needs an arithmetic or registered conversion, 2: accepted but not exact (untyped), -1: no.
int Interp::match(const TypeKey& t, const Box& b) const {
    switch (t.kind) {
    case TypeKey::Any: return 2;
    case TypeKey::Num:
        if (!b.is_num()) return -1;
        return b.num().kind == t.nk ? 0 : 1;
    // Any number is accepted, but no number is exactly of this type: int f(int) beats f(Number).
    case TypeKey::Arith: return b.is_num() ? 2 : -1;
    case TypeKey::Bool: return b.idx() == V_Bool ? 0 : -1;
    case TypeKey::Str: return b.idx() == V_String ? 0 : -1;
    case TypeKey::Vec: return b.idx() == V_Vector ? 0 : -1;
    case TypeKey::MapT: return b.idx() == V_Map ? 0 : -1;
    // A map entry (const string key) is not a Pair, nor the other way round.
    case TypeKey::PairT:
    case TypeKey::MapPairT: {
        auto* p = std::get_if<PairV>(&b.v);
        return p && p->map_pair == (t.kind == TypeKey::MapPairT) ? 0 : -1;
    }
    case TypeKey::Func: return b.idx() == V_Func ? 0 : -1;
    case TypeKey::RangeT: return b.idx() == V_Range ? 0 : -1;
    case TypeKey::TypeInfoT: return b.idx() == V_TypeInfo ? 0 : -1;
    case TypeKey::Obj: return b.idx() == V_Object ? 0 : -1;
    case TypeKey::Class:
        if (auto* o = std::get_if<ObjRef>(&b.v)) return (*o)->cls == t.name ? 0 : -1;
        return -1;
    case TypeKey::Error:
        if (auto* e = std::get_if<ErrorV>(&b.v))
            return e->type_name() == t.name || (e->range_error() && t.name == "range_error") ? 0 : -1;
        return -1;
    case TypeKey::Host:
        if (auto* h = std::get_if<HostObj>(&b.v)) {
            if (*h->type == *t.host) return 0;
            if (reg.bases.count({std::type_index(*h->type), std::type_index(*t.host)})) return 0;
        }
        // Converted arguments rank with numeric casts: an exact overload wins.
        return reg.conversion_to(*t.host, b) ? 1 : -1;
    }
    return -1;
}

bool same_signature(const Callable& a, const Callable& b) {
    return !a.guarded && !b.guarded && a.arity == b.arity && a.params == b.params;
}

bool functions_equal(const Callable& a, const Callable& b) {
    if (&a == &b) return true;
    auto* sa = dynamic_cast<const OverloadSet*>(&a);
    auto* sb = dynamic_cast<const OverloadSet*>(&b);
    if (sa || sb) {
        if (!sa || !sb || sa->fns.size() != sb->fns.size()) return false;
        for (size_t i = 0; i < sa->fns.size(); ++i)
            if (!functions_equal(*sa->fns[i], *sb->fns[i])) return false;
        return true;
    }
    return dynamic_cast<const ScriptFn*>(&a) && dynamic_cast<const ScriptFn*>(&b) && same_signature(a, b);
}

const FnList* Interp::find_functions(uint32_t name) const {
    auto it = funcs.find(name);
    const FnList* list = it == funcs.end() || it->second->empty() ? nullptr : it->second.get();
    bool getters_only = !list || std::all_of(list->begin(), list->end(), [](const FuncRef& f) { return f->attr_getter; });
    bool member_getters = list && std::any_of(list->begin(), list->end(), [](const FuncRef& f) { return f->member_getter; });
    fn_cache_[name % kFnCacheSize] = {name, fn_generation, list, getters_only, member_getters};
    return list;
}

void Interp::add_function(uint32_t name, FuncRef f, const Node* site) {
    // Lists are replaced, never changed in place: a dispatch running further up the C++ stack
    // may still be reading the old one, which stays alive until the outermost evaluation ends.
    auto& slot = funcs[name];
    auto list = slot ? std::make_shared<FnList>(*slot) : std::make_shared<FnList>();
    if (slot && dispatch_depth > 0) retired_lists.push_back(std::move(slot));
    slot = list;
    if (!f->host && !f->guarded)
        for (const FuncRef& o : *slot)
            // Host functions never clash with script ones: they keep precedence instead.
            if (!o->host && same_signature(*o, *f)) {
                bool method = dynamic_cast<const ScriptFn*>(f.get()) && static_cast<const ScriptFn*>(f.get())->method;
                fail(site, std::string(method ? "Method" : "Function") + " redefined '" + name_of(name) + "'");
            }
    ++fn_generation;
    // Host functions first, then guarded script functions, then the rest; each in definition order.
    auto rank = [](const Callable& c) { return c.host ? 0 : c.guarded ? 1 : 2; };
    auto pos = std::find_if(slot->begin(), slot->end(), [&](const FuncRef& o) { return rank(*o) > rank(*f); });
    slot->insert(pos, std::move(f));
}

namespace {
// Argument types as one number, when they alone decide overload resolution.
bool type_signature(Args a, uint64_t& sig) {
    if (a.size > 4) return false;
    sig = a.size;
    for (size_t i = 0; i < a.size; ++i) {
        const Box& b = *a[i];
        VIdx k = b.idx();
        if (k == V_Object || k == V_Host || k == V_Error || k == V_Pair) return false;
        uint64_t part = static_cast<uint64_t>(k) << 8 | (k == V_Number ? static_cast<uint64_t>(b.num().kind) : 0);
        sig |= part << (4 + 14 * i);
    }
    return true;
}

}  // namespace

BoxRef Interp::try_dispatch(const FnList& fns, Args a, const BoxRef* self, const Node* site, bool& matched) {
    matched = false;
    struct Active {
        explicit Active(int& d) : depth(d) { ++depth; }
        ~Active() { --depth; }
        int& depth;
    } active(dispatch_depth);
    uint64_t sig = 0;
    bool cacheable = site && type_signature(a, sig);
    if (cacheable && site->cache_list == &fns && site->cache_gen == fn_generation && site->cache_sig == sig) {
        // The list must still hold the function (a list on the stack may reuse an address).
        for (const FuncRef& f : fns)
            if (f.get() == site->cache_fn) {
                matched = true;
                return f->call(*this, a, self);
            }
    }
    // Fast path: one untyped, unguarded candidate.
    if (fns.size() == 1) {
        const Callable& f = *fns[0];
        if (!f.guarded && f.arity == static_cast<int>(a.size) && !f.is_set()) {
            bool all_any = true;
            for (const TypeKey& t : f.params)
                if (t.kind != TypeKey::Any) {
                    all_any = false;
                    break;
                }
            if (all_any) {
                matched = true;
                return f.call(*this, a, self);
            }
        }
    }
    return resolve(fns, a, self, site, matched, cacheable, sig);
}

BoxRef Interp::dispatch(const FnList& fns, Args a, const Node* site, const std::string& name, const BoxRef* self) {
    bool matched = false;
    BoxRef r;
    try {
        r = try_dispatch(fns, a, self, site, matched);
    } catch (const exception::detail_numeric_error& e) {
        fail(site, e.reason);
    } catch (const ConversionFailed&) {
        conversion_failed(fns, a, site, name);
    }
    if (!matched) dispatch_failed(fns, a, site, name, false);
    return r;
}

void Interp::conversion_failed(const FnList& fns, Args a, const Node* site, const std::string& name) {
    std::string params = "(";
    for (size_t i = 0; i < a.size; ++i) params += (i ? ", " : "") + type_desc(*a[i]);
    fail(site, "Error calling function '" + name + "'", params + ")",
         fns.size() == 1 ? "  Expected: " + candidate(*fns[0], false) : std::string());
}

void Interp::dispatch_failed(const FnList& fns, Args a, const Node* site, const std::string& name, bool dot_form) {
    std::vector<std::string> types;
    for (size_t i = 0; i < a.size; ++i) types.push_back(type_desc(*a[i]));
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

BoxRef Interp::call_value(const BoxRef& fn, Args a, const Node* site, const BoxRef* self) {
    auto* f = std::get_if<FuncRef>(&fn->v);
    if (!f) not_a_function(site);
    if ((*f)->is_set()) return (*f)->call(*this, a, self);
    FnList one{*f};
    // Errors name the function as the call spelled it (`g(1)` for a stored lambda g).
    const Node* callee = site && site->kind == NK::Call ? site->first : nullptr;
    return dispatch(one, a, site, callee && callee->kind == NK::Id ? callee->text : (*f)->name, self);
}

void Interp::not_a_function(const Node* site) {
    // The call's callee is what did not evaluate to a function.
    const Node* callee = site && site->kind == NK::Call ? site->first : site;
    fail(site, "'" + (callee ? node_text(*callee) : std::string()) + "' does not evaluate to a function.");
}

BoxRef Interp::call_named(uint32_t name, Args a, const Node* site) {
    const FnList* fl = functions(name);
    if (!fl) fail(site, "Can not find object: " + name_of(name));
    return dispatch(*fl, a, site, name_of(name));
}

BoxRef OverloadSet::call(Interp& in, Args a, const BoxRef* self) const {
    return in.dispatch(fns, a, nullptr, name, self);
}

BoxRef BoundFn::call(Interp& in, Args a, const BoxRef* self) const {
    std::vector<BoxRef> full;
    size_t next = 0;
    for (const BoxRef& f : fixed) {
        if (f) full.push_back(f);
        else if (next < a.size) full.push_back(a[next++]);
    }
    while (next < a.size) full.push_back(a[next++]);
    return in.call_value(target, Args{full.data(), full.size()}, nullptr, self);
}

// ---- script functions ----

void ScriptFn::bind(Interp& in, Args a, const BoxRef* self, const BoxRef& obj) const {
    size_t first = 0;
    if (ctor) {
        in.locals.emplace_back(id_this(), obj);
    } else if (method) {
        in.locals.emplace_back(id_this(), a[0]);
        first = 1;
    } else if (self) {
        in.locals.emplace_back(id_this(), *self);
    } else if (a.size > 0) {
        in.locals.emplace_back(id_this(), a[0]);
    }
    for (const auto& c : captures) in.locals.push_back(c);
    if (unusual_names) check_names(in);
    for (size_t i = 0; i < names.size() && first + i < a.size; ++i) in.locals.emplace_back(names[i], a[first + i]);
}

void ScriptFn::check_names(Interp& in) const {
    for (size_t i = 0; i < names.size(); ++i) {
        for (size_t j = 0; j < i; ++j)
            // Binding the second parameter clashes with the first: the plain naming error, as
            // when a host adds a taken global name (scripts catch it as a runtime_error).
            if (names[j] == names[i]) throw exception::name_conflict_error(name_of(names[i]));
        bool hides = names[i] == id_this();
        for (const auto& c : captures) hides |= c.first == names[i];
        if (hides) ++in.shadow_epoch;
    }
}

void ScriptFn::note_names() {
    unusual_names = false;
    for (size_t i = 0; i < names.size(); ++i) {
        bool clash = names[i] == id_this();
        for (size_t j = 0; j < i; ++j) clash |= names[j] == names[i];
        for (const auto& c : captures) clash |= c.first == names[i];
        unusual_names |= clash;
    }
}

bool ScriptFn::guard_ok(Interp& in, Args a, const BoxRef* self) const {
    if (!guard) return true;
    in.check_stack(guard);
    FrameGuard fg(in);
    BoxRef obj;
    bind(in, a, self, obj);
    BoxRef r = in.eval_traced(guard, nullptr);
    const bool* b = std::get_if<bool>(&r->v);
    return b && *b;
}

BoxRef ScriptFn::call(Interp& in, Args a, const BoxRef* self) const {
    in.check_stack(body);
    FrameGuard fg(in);
    BoxRef obj;
    if (ctor) obj = in.new_object(cls);
    bind(in, a, self, obj);
    // An error leaving this call lists the nodes of the body it passed through.
    BoxRef r = in.eval_traced(body, nullptr);
    if (in.ctl == Ctl::Return) {
        in.ctl = Ctl::None;
        r = std::move(in.ret);
    }
    if (ctor) return obj;
    return r;
}

// ---- errors and limits ----

exception::AST_Node_Trace Interp::trace(const Node* n) const {
    return exception::AST_Node_Trace(n->file ? *n->file : std::string(), n->start, n->end, node_label(*n),
                                     node_kind_name(n->kind), n, node_text(*n));
}

namespace {
// Nodes evaluated only as parts of their parent: an error passing through them does not list them.
bool listed(const Node* n) {
    return n->kind != NK::Finally && n->kind != NK::Catch && n->kind != NK::MapPair && n->kind != NK::Noop;
}
// The body or guard of a function: where the evaluation of a call begins.
bool function_root(const Node* n) {
    return n->parent && (n->parent->kind == NK::Def || n->parent->kind == NK::Lambda);
}
}  // namespace

void Interp::complete_trace(exception::eval_error& e, const Node* stop) const {
    if (e.call_stack.empty()) return;
    const Node* n = static_cast<const Node*>(e.call_stack.back().node());
    if (!n) return;
    while (n != stop && !function_root(n) && n->parent && n->parent != stop) {
        const Node* from = n;
        n = n->parent;
        // A switch tests case values itself; only a case's block runs through the case.
        if (listed(n) && !(n->kind == NK::Case && from == n->first)) e.call_stack.push_back(trace(n));
    }
}

void Interp::fail(const Node* n, const std::string& reason, const std::string& params, const std::string& detail) {
    std::vector<exception::AST_Node_Trace> stack;
    if (n) stack.push_back(trace(n));
    throw exception::eval_error(reason, params, std::move(stack), detail);
}

void Interp::check_stack(const Node* site) {
    char probe = 0;
    const char* here = &probe;
    if (stack_base && static_cast<size_t>(stack_base > here ? stack_base - here : here - stack_base) > stack_budget)
        fail(site, "Call stack depth exceeded");
    count_step(site);
}

}  // namespace chai
