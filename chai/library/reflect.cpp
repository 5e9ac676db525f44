// Introspection of functions and variables.
#include <iostream>

#include "chai/library/library.hpp"
#include "chai/runtime/var_attrs.hpp"

namespace chai {

namespace {

const FuncRef& fn(const BoxRef& b) { return std::get<FuncRef>(b->v); }

// a < b where an operator accepts the pair, else an order of the type names.
bool ordered_before(Interp& in, const BoxRef& a, const BoxRef& b) {
    BoxRef pair[2] = {a, b};
    if (const FnList* fl = in.functions(intern("<"))) {
        bool matched = false;
        BoxRef r = in.try_dispatch(*fl, Args{pair, 2}, nullptr, nullptr, matched);
        if (matched && r && r->idx() == V_Bool) return std::get<bool>(r->v);
    }
    return type_name_of(*a) < type_name_of(*b);
}

void dump_system(Interp& in) {
    std::map<std::string, const char*> types;
    for (const auto& [n, k] : in.reg.type_names) types[n] = "host";
    for (const auto& [id, c] : in.classes) types[name_of(id)] = "class";
    std::cout << "Registered Types: \n";
    for (const auto& [n, what] : types) std::cout << "  " << n << " (" << what << ")\n";
    std::map<std::string, std::vector<std::string>> sigs;
    for (const auto& [id, list] : in.funcs)
        for (const FuncRef& f : *list) sigs[name_of(id)].push_back(f->signature());
    std::cout << "\nFunctions: \n";
    for (const auto& [n, list] : sigs)
        for (const std::string& sig : list) std::cout << "  " << n << sig << "\n";
    std::cout << std::flush;
}

const std::string& name_arg(const BoxRef& b) { return std::get<std::string>(b->v); }

// A variable shares the caller's box; constants (literals) become a writable copy.
BoxRef global_box(const BoxRef& v) { return v->is_const ? clone_box(v) : v; }

}  // namespace

void add_reflect_lib(LibBuilder& b) {
    // ---- attributes of any value ----
    b.add("get_var_attr", {K(""), K("string")}, [](Interp&, Args a) { return var_attr(*a[0], name_arg(a[1])); });
    b.add("copy_var_attrs", {K(""), K("")}, [](Interp&, Args a) {
        copy_var_attrs(*a[0], *a[1], false);
        return a[0];
    });
    b.add("clone_var_attrs", {K(""), K("")}, [](Interp&, Args a) {
        copy_var_attrs(*a[0], *a[1], true);
        return a[0];
    });
    b.add("reset_var_return_value", {K("")}, [](Interp&, Args a) {
        a[0]->is_temp = false;
        return undef();
    });
    b.add_untyped("lt", 2, [](Interp& in, Args a) { return make_bool(ordered_before(in, a[0], a[1])); });
    b.add_untyped("gt", 2, [](Interp& in, Args a) { return make_bool(ordered_before(in, a[1], a[0])); });
    b.add("dump_system", {}, [](Interp& in, Args) {
        dump_system(in);
        return undef();
    });

    // ---- globals set from scripts ----
    b.add("add_global", {K(""), K("string")}, [](Interp& in, Args a) {
        in.add_global(name_arg(a[1]), global_box(a[0]));
        return undef();
    });
    b.add("add_global_const", {K(""), K("string")}, [](Interp& in, Args a) {
        if (!a[0]->is_const) throw exception::global_non_const(name_arg(a[1]));
        in.add_global(name_arg(a[1]), a[0]);
        return undef();
    });
    b.add("set_global", {K(""), K("string")}, [](Interp& in, Args a) {
        in.set_global(name_arg(a[1]), global_box(a[0]));
        return undef();
    });
    // Native modules would let a script run arbitrary host code.
    auto no_modules = [](Interp&, Args a) -> BoxRef {
        throw std::runtime_error("Unable to load module: " + name_arg(a[0]) + " (loadable modules are not supported)");
    };
    b.add("load_module", {K("string")}, no_modules);
    b.add("load_module", {K("string"), K("string")}, no_modules);

    // Later calls of library functions needing `to` accept `from` values through the function.
    b.add("add_type_conversion", {K("Type_Info"), K("Type_Info"), K("Function")}, [](Interp& in, Args a) {
        auto key = [&](const BoxRef& ti) { return in.resolve_type(std::get<TypeInfoV>(ti->v).name); };
        in.script_conversions.push_back({key(a[0]), key(a[1]), a[2]});
        ++in.fn_generation;  // choices remembered at call sites may change
        return undef();
    });
    b.add("get_param_types", {K("Function")}, [](Interp&, Args a) {
        // The result type comes first (any value unless known), then the parameters.
        const Callable& f = *fn(a[0]);
        Vector v{make_box(Value(TypeInfoV{key_name(f.result), f.result.kind == TypeKey::Num, false}), false)};
        if (f.arity >= 0)
            for (const TypeKey& k : f.params) v.push_back(make_box(Value(TypeInfoV{key_name(k), k.kind == TypeKey::Num, false}), false));
        return make_box(Value(std::move(v)));
    });
    b.add("get_contained_functions", {K("Function")}, [](Interp&, Args a) {
        Vector v;
        if (auto* set = dynamic_cast<const OverloadSet*>(fn(a[0]).get()))
            for (const FuncRef& f : set->fns) v.push_back(make_box(Value(f), false));
        // A method is a function wrapped to take its object first; the wrapped one is contained.
        auto* s = dynamic_cast<const ScriptFn*>(fn(a[0]).get());
        if (s && s->method && !s->unwrapped) {
            auto inner = std::make_shared<ScriptFn>(*s);
            inner->unwrapped = true;
            v.push_back(func_box(inner));
        }
        return make_box(Value(std::move(v)));
    });
    b.add("get_guard", {K("Function")}, [](Interp&, Args a) -> BoxRef {
        auto* s = dynamic_cast<const ScriptFn*>(fn(a[0]).get());
        if (!s || !s->guard) throw std::runtime_error("Function does not have a guard");
        auto g = std::make_shared<ScriptFn>(*s);
        g->body = s->guard;
        g->guard = nullptr;
        g->guarded = false;
        return func_box(g);
    });
    b.add("get_functions", {}, [](Interp& in, Args) {
        Map m;
        for (const auto& [id, list] : in.funcs)
            if (!list->empty()) m[name_of(id)] = in.lookup(id, nullptr);
        return make_box(Value(std::move(m)));
    });
    b.add("get_objects", {}, [](Interp& in, Args) {
        Map m;
        for (const auto& [id, v] : in.globals) m[name_of(id)] = v;
        for (size_t i = in.frame_base; i < in.locals.size(); ++i) m[name_of(in.locals[i].first)] = in.locals[i].second;
        return make_box(Value(std::move(m)));
    });
    // type(name[, throw]): an unknown name raises, or with throw == false gives the undefined type.
    auto type = [](Interp& in, Args a) -> BoxRef {
        const std::string& n = std::get<std::string>(a[0]->v);
        TypeKey k = in.resolve_type(n);
        if (k.kind == TypeKey::Class && !in.classes.count(k.cls) && n != "void") {
            if (a.size == 1 || std::get<bool>(a[1]->v)) throw std::range_error("Type Not Known: " + n);
            return make_box(Value(TypeInfoV{"", false, true}));
        }
        return make_box(Value(TypeInfoV{key_name(k), k.kind == TypeKey::Num, false}));
    };
    b.add("type", {K("string")}, type);
    b.add("type", {K("string"), K("bool")}, type);
    for (const char* f : {"cpp_name", "cpp_bare_name"})
        b.add(f, {K("Type_Info")}, [](Interp&, Args a) { return make_str(std::get<TypeInfoV>(a[0]->v).name); });
    for (const char* f : {"is_type_const", "is_type_reference", "is_type_pointer"})
        b.add(f, {K("Type_Info")}, [](Interp&, Args) { return make_bool(false); });
    b.add("is_type_void", {K("Type_Info")}, [](Interp&, Args a) { return make_bool(std::get<TypeInfoV>(a[0]->v).name == "void"); });
    auto same_type = [](const BoxRef& x, const BoxRef& y) {
        const TypeInfoV& p = std::get<TypeInfoV>(x->v);
        const TypeInfoV& q = std::get<TypeInfoV>(y->v);
        return p.name == q.name && p.undef == q.undef;
    };
    b.add("bare_equal", {K("Type_Info"), K("Type_Info")}, [same_type](Interp&, Args a) { return make_bool(same_type(a[0], a[1])); });
    b.add("==", {K("Type_Info"), K("Type_Info")}, [same_type](Interp&, Args a) { return make_bool(same_type(a[0], a[1])); });
    b.add("!=", {K("Type_Info"), K("Type_Info")}, [same_type](Interp&, Args a) { return make_bool(!same_type(a[0], a[1])); });
    b.add("Type_Info", {K("Type_Info")}, [](Interp&, Args a) { return make_box(Value(std::get<TypeInfoV>(a[0]->v))); });
    b.add("is_var_reference", {K("")}, [](Interp&, Args a) { return make_bool(a[0]->refs > 2); });
    b.add("is_var_return_value", {K("")}, [](Interp&, Args a) { return make_bool(a[0]->is_temp); });
    b.add("is_var_pointer", {K("")}, [](Interp&, Args) { return make_bool(false); });
}

}  // namespace chai
