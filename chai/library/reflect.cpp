// Introspection of the engine and values: attributes of any value, orders across types, the
// system dump, globals set from scripts, conversions and visible variables.
#include <iostream>

#include "chai/library/library.hpp"

namespace chai {

namespace {

// a < b where an operator accepts the pair, else an order of the type names.
bool ordered_before(Context& c, const Value& a, const Value& b) {
    Arg pair[2] = {{a}, {b}};
    Value r = c.try_call("<", Args{pair, 2});
    if (!r.is_unset() && r.is_bool()) return r.as_bool();
    return c.type_name(a) < c.type_name(b);
}

void dump_system(Context& c) {
    std::map<std::string, const char*> types;
    for (const auto& [n, k] : c.registry().named()) types[n] = "host";
    for (const std::string& n : c.class_names()) types[n] = "class";
    std::cout << "Registered Types: \n";
    for (const auto& [n, what] : types) std::cout << "  " << n << " (" << what << ")\n";
    std::cout << "\nFunctions: \n";
    c.each_function([](const std::string& n, const FnList& list) {
        for (const FuncRef& f : list) std::cout << "  " << n << f->signature() << "\n";
    });
    std::cout << std::flush;
}

const std::string& name_arg(const Value& v) { return *v.str(); }

// A variable shares the caller's box; constants (literals) become a writable copy.
Value global_value(Args a) { return a[0].is_const() ? clone(a[0]) : a.ref(0); }

}  // namespace

void add_reflect_lib(LibBuilder& b) {
    // ---- attributes of any value ----
    b.add("get_var_attr", {K(""), K("string")}, [](Context&, Args a) {
        return ref_to(var_attr(*a.ref(0).box(), name_arg(a[1])));
    });
    b.add("copy_var_attrs", {K(""), K("")}, [](Context&, Args a) {
        copy_var_attrs(*a.ref(0).box(), *a.ref(1).box(), false);
        return a[0];
    });
    b.add("clone_var_attrs", {K(""), K("")}, [](Context&, Args a) {
        copy_var_attrs(*a.ref(0).box(), *a.ref(1).box(), true);
        return a[0];
    });
    b.add_untyped("lt", 2, [](Context& c, Args a) { return make_bool(ordered_before(c, a[0], a[1])); });
    b.add_untyped("gt", 2, [](Context& c, Args a) { return make_bool(ordered_before(c, a[1], a[0])); });
    b.add("dump_system", {}, [](Context& c, Args) {
        dump_system(c);
        return Value();
    });

    // ---- globals set from scripts ----
    b.add("add_global", {K(""), K("string")}, [](Context& c, Args a) {
        c.add_global(name_arg(a[1]), global_value(a));
        return Value();
    });
    b.add("add_global_const", {K(""), K("string")}, [](Context& c, Args a) {
        if (!a[0].is_const()) throw exception::global_non_const(name_arg(a[1]));
        c.add_global(name_arg(a[1]), a[0]);
        return Value();
    });
    b.add("set_global", {K(""), K("string")}, [](Context& c, Args a) {
        c.set_global(name_arg(a[1]), global_value(a));
        return Value();
    });
    // Native modules would let a script run arbitrary host code.
    const auto no_modules = [](Context&, Args a) -> Value {
        throw std::runtime_error("Unable to load module: " + name_arg(a[0]) + " (loadable modules are not supported)");
    };
    b.add("load_module", {K("string")}, no_modules);
    b.add("load_module", {K("string"), K("string")}, no_modules);

    // Later calls of library functions needing `to` accept `from` values through the function.
    b.add("add_type_conversion", {K("Type_Info"), K("Type_Info"), K("Function")}, [](Context& c, Args a) {
        const auto key = [&](const Value& ti) { return c.resolve_type(ti.type_info()->name); };
        c.add_type_conversion(key(a[0]), key(a[1]), a[2]);
        return Value();
    });
    b.add("get_objects", {}, [](Context& c, Args) { return make_map(c.visible_objects()); });
}

}  // namespace chai
