// Function values: calling, binding and describing them.
#include "chai/library/library.hpp"
#include "chai/runtime/program.hpp"

namespace chai {

namespace {

const Callable& fn(const Value& v) { return **v.func(); }
const ScriptFn* script_fn(const Value& v) {
    const Callable& f = fn(v);
    return f.type == Callable::Type::Script ? static_cast<const ScriptFn*>(&f) : nullptr;
}
Value type_value(const TypeKey& k) { return make_type_info({key_name(k), k.kind == TypeKey::Num, false}); }

}  // namespace

void add_function_lib(LibBuilder& b) {
    b.add("get_arity", {K("Function")}, [](Context&, Args a) { return num_value(fn(a[0]).arity); });
    b.add("has_guard", {K("Function")}, [](Context&, Args a) { return make_bool(fn(a[0]).guarded); });
    b.add("get_annotation", {K("Function")}, [](Context&, Args a) {
        if (fn(a[0]).type == Callable::Type::Set) return make_str("Multiple method dispatch function wrapper.");
        const ScriptFn* s = script_fn(a[0]);
        return make_str(s ? s->annotation : std::string());
    });
    b.add("call", {K("Function"), K("Vector")}, [](Context& c, Args a) {
        std::vector<Arg> args;
        for (const Value& v : share_elements(*a[1].vec())) args.push_back({v});
        return c.call_value(a[0], Args{args.data(), args.size()});
    });
    b.add("bind", {}, [](Context&, Args a) -> Value {
        if (a.size == 0 || a[0].kind() != Kind::Function) return declined();
        std::vector<Value> fixed;
        for (size_t i = 1; i < a.size; ++i) {
            const TypeInfoV* t = a[i].type_info();
            fixed.push_back(t && t->name == "_" ? Value::unset() : a.ref(i));
        }
        return make_func(make_bound(a[0], std::move(fixed)));
    }, -1);
    b.add("function_exists", {K("string")}, [](Context& c, Args a) { return make_bool(c.functions(*a[0].str()) != nullptr); });
    b.add("call_exists", {}, [](Context& c, Args a) -> Value {
        if (a.size == 0 || a[0].kind() != Kind::Function) return declined();
        const FuncRef& f = *a[0].func();
        const FnList one{f};
        const FnList& fl = f->type == Callable::Type::Set ? static_cast<const OverloadSet&>(*f).fns : one;
        const Args rest = a.tail(1);
        for (const FuncRef& candidate : fl) {
            if (candidate->arity >= 0 && static_cast<size_t>(candidate->arity) != rest.size) continue;
            bool ok = true;
            for (size_t i = 0; i < rest.size && ok; ++i)
                ok = i >= candidate->params.size() || c.match(candidate->params[i], rest[i]) >= 0;
            // A guard that refuses the arguments makes the call impossible too.
            if (ok && candidate->guarded) ok = c.guard_accepts(*candidate, rest);
            if (ok) return make_bool(true);
        }
        return make_bool(false);
    }, -1);
    b.add("get_param_types", {K("Function")}, [](Context&, Args a) {
        // The result type comes first (any value unless known), then the parameters.
        const Callable& f = fn(a[0]);
        Vector v{type_value(f.result)};
        if (f.arity >= 0)
            for (const TypeKey& k : f.params) v.push_back(type_value(k));
        return make_vec(std::move(v));
    });
    b.add("get_contained_functions", {K("Function")}, [](Context&, Args a) {
        Vector v;
        if (fn(a[0]).type == Callable::Type::Set)
            for (const FuncRef& f : static_cast<const OverloadSet&>(fn(a[0])).fns) v.push_back(make_func(f));
        // A method is a function wrapped to take its object first; the wrapped one is contained.
        const ScriptFn* s = script_fn(a[0]);
        if (s && s->method && !s->unwrapped) {
            auto inner = std::make_shared<ScriptFn>(*s);
            inner->unwrapped = true;
            v.push_back(make_func(std::move(inner)));
        }
        return make_vec(std::move(v));
    });
    b.add("get_guard", {K("Function")}, [](Context&, Args a) -> Value {
        const ScriptFn* s = script_fn(a[0]);
        if (!s || !s->guard) throw std::runtime_error("Function does not have a guard");
        auto g = std::make_shared<ScriptFn>(*s);
        g->body = s->guard;
        g->guard = nullptr;
        g->guarded = false;
        g->tree.reset();  // the guard is no definition that edits could move
        return make_func(std::move(g));
    });
    b.add("get_functions", {}, [](Context& c, Args) {
        Map m;
        c.each_function([&](const std::string& name, const FnList&) { m[name] = c.function_value(name); });
        return make_map(std::move(m));
    });
}

}  // namespace chai
