// Exceptions, script objects, evaluation of more text, and helpers of the prelude.
#include "chai/library/library.hpp"
#include "chai/runtime/objects.hpp"

namespace chai {

namespace {

const std::string& str(const Value& v) { return *v.str(); }
DynObject& obj(const Value& v) { return **v.obj(); }
uint32_t attr(const Value& o, const std::string& name) { return obj(o).names->intern(name); }

}  // namespace

void add_core_lib(LibBuilder& b) {
    b.add_untyped("max", 2, [](Context& c, Args a) { return c.truth(c.binary(OpCode::Gt, a[0], a[1])) ? a[0] : a[1]; });
    b.add_untyped("min", 2, [](Context& c, Args a) { return c.truth(c.binary(OpCode::Lt, a[0], a[1])) ? a[0] : a[1]; });
    // x % 2 == 0 and x % 2 == 1, exactly: odd() of a negative odd number is false.
    const auto parity = [](int rest) {
        return [rest](Context& c, Args a) {
            const Value two = Value::of(2, kConst), want = Value::of(rest, kConst);  // literals in the written form
            return c.binary(OpCode::Eq, c.binary(OpCode::Mod, a[0], two), want);
        };
    };
    b.add_untyped("even", 1, parity(0));
    b.add_untyped("odd", 1, parity(1));

    // ---- exceptions ----
    b.add("throw", {K("")}, [](Context&, Args a) -> Value { throw ScriptThrow{a[0]}; });
    b.add("runtime_error", {K("string")}, [](Context&, Args a) { return make_error(ErrorV("runtime_error", str(a[0]))); });
    b.add("range_error", {K("string")}, [](Context&, Args a) { return make_error(ErrorV("runtime_error", str(a[0]), {}, true)); });
    b.add("what", {K("")}, [](Context&, Args a) {
        const ErrorV* e = a[0].error();
        return e ? make_str(e->what()) : declined();
    });
    b.add("reason", {K("eval_error")}, [](Context&, Args a) {
        const ErrorV& e = *a[0].error();
        return make_str(e.eval() ? e.eval()->reason : std::string());
    });
    b.add("pretty_print", {K("eval_error")}, [](Context&, Args a) {
        const ErrorV& e = *a[0].error();
        return make_str(e.eval() ? e.eval()->pretty_print() : e.what() + "\n");
    });

    // ---- script objects ----
    // A free-form object has no class: its type name is empty.
    b.add("Dynamic_Object", {}, [](Context& c, Args) { return c.new_object(""); });
    b.add("Dynamic_Object", {K("string")}, [](Context& c, Args a) { return c.new_object(str(a[0])); });
    b.add("get_type_name", {K("Dynamic_Object")}, [](Context&, Args a) { return make_str(obj(a[0]).class_name()); });
    b.add("get_attrs", {K("Dynamic_Object")}, [](Context&, Args a) {
        Map m;
        DynObject& o = obj(a[0]);
        for (auto& [id, v] : o.attrs) m[o.names->name(id)] = ref_to(v);
        return make_map(std::move(m));
    });
    // The attribute itself, created undefined if new: obj.name by name.
    const auto get_attr = [](Context&, Args a) { return ref_to(obj(a[0]).slot(attr(a[0], str(a[1])))); };
    b.add("get_attr", {K("Dynamic_Object"), K("string")}, get_attr);
    b.add("method_missing", {K("Dynamic_Object"), K("string")}, get_attr);
    b.add("has_attr", {K("Dynamic_Object"), K("string")}, [](Context&, Args a) {
        DynObject& o = obj(a[0]);
        return make_bool(o.find(o.names->find(str(a[1]))) != nullptr);
    });
    b.add("set_explicit", {K("Dynamic_Object"), K("bool")}, [](Context&, Args a) {
        obj(a[0]).is_explicit = a[1].as_bool();
        return Value();
    });
    b.add("is_explicit", {K("Dynamic_Object")}, [](Context&, Args a) { return make_bool(obj(a[0]).is_explicit); });

    // ---- evaluation ----
    b.add("eval", {K("string")}, [](Context& c, Args a) {
        return errors_catchable([&] { return c.eval_text(str(a[0]), "__EVAL__"); });
    });
    b.add("eval_file", {K("string")}, [](Context& c, Args a) {
        return errors_catchable([&] { return c.eval_file(str(a[0])); });
    });
    b.add("use", {K("string")}, [](Context& c, Args a) {
        return errors_catchable([&] { return c.use_file(str(a[0])); });
    });
}

}  // namespace chai
