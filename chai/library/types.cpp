// Types of values: names, tests, Type_Info values, copies and information about the engine.
#include <iostream>

#include "chai/library/library.hpp"
#include "chai/runtime/objects.hpp"

namespace chai {

namespace {

const TypeInfoV& info(const Value& v) { return *v.type_info(); }

Value type_value(const TypeKey& k) { return make_type_info({key_name(k), k.kind == TypeKey::Num, false}); }

// Whether v is of type k as is_type asks it: a class name, a registered alias, a type name.
bool is_of(Context& c, const Value& v, const std::string& n) {
    if (const ObjRef* o = v.obj())
        if ((*o)->class_name() == n) return true;
    if (c.type_name(v) == n) return true;
    const TypeKey k = c.resolve_type(n);
    // Object and Number are parameter types only, never the type of a value.
    if (k.kind == TypeKey::Class || k.kind == TypeKey::Arith) return false;
    return c.match(k, v) == 0;
}

}  // namespace

void add_type_lib(LibBuilder& b) {
    b.add("type_name", {K("")}, [](Context& c, Args a) { return make_str(c.type_name(a[0])); });
    b.add("is_type", {K(""), K("string")}, [](Context& c, Args a) { return make_bool(is_of(c, a[0], *a[1].str())); });
    b.add("is_type", {K(""), K("Type_Info")}, [](Context& c, Args a) { return make_bool(is_of(c, a[0], info(a[1]).name)); });
    b.add("type_match", {K(""), K("")}, [](Context& c, Args a) { return make_bool(c.type_name(a[0]) == c.type_name(a[1])); });

    // ---- what kind of box a value is ----
    b.add("is_var_undef", {K("")}, [](Context&, Args a) { return make_bool(a[0].is_undef()); });
    b.add("is_var_const", {K("")}, [](Context&, Args a) { return make_bool(a[0].is_const()); });
    // A JSON null reads as undefined; nothing else is null.
    b.add("is_var_null", {K("")}, [](Context&, Args a) { return make_bool(a[0].is_undef()); });
    // A reference into a host object (a data member) or into a string's character.
    b.add("is_var_reference", {K("")}, [](Context&, Args a) {
        const Box* x = a[0].box();
        return make_bool(x && x->extra && (x->extra->write || x->extra->string.boxed()));
    });
    // Literals are held as constants behind a pointer, as are host objects made by constructors.
    b.add("is_var_pointer", {K("")}, [](Context&, Args a) { return make_bool(a[0].is_const() || a[0].kind() == Kind::Host); });
    b.add("is_var_return_value", {K("")}, [](Context&, Args a) { return make_bool(a[0].is_temp()); });
    b.add("reset_var_return_value", {K("")}, [](Context&, Args a) {
        Value& v = a.ref(0);
        v.set_flags(v.flags() & static_cast<uint8_t>(~kTemp));
        return Value();
    });

    // ---- Type_Info ----
    b.add("get_type_info", {K("")}, [](Context& c, Args a) {
        return make_type_info({c.type_name(a[0]), a[0].is_num(), a[0].is_undef()});
    });
    b.add("name", {K("Type_Info")}, [](Context&, Args a) { return make_str(info(a[0]).name); });
    b.add("is_type_arithmetic", {K("Type_Info")}, [](Context&, Args a) { return make_bool(info(a[0]).arithmetic); });
    b.add("is_type_undef", {K("Type_Info")}, [](Context&, Args a) { return make_bool(info(a[0]).undef); });
    for (const char* f : {"cpp_name", "cpp_bare_name"})
        b.add(f, {K("Type_Info")}, [](Context&, Args a) { return make_str(info(a[0]).name); });
    for (const char* f : {"is_type_const", "is_type_reference", "is_type_pointer"})
        b.add(f, {K("Type_Info")}, [](Context&, Args) { return make_bool(false); });
    b.add("is_type_void", {K("Type_Info")}, [](Context&, Args a) { return make_bool(info(a[0]).name == "void"); });
    const auto same_type = [](const Value& x, const Value& y) {
        return info(x).name == info(y).name && info(x).undef == info(y).undef;
    };
    b.add("bare_equal", {K("Type_Info"), K("Type_Info")}, [same_type](Context&, Args a) { return make_bool(same_type(a[0], a[1])); });
    b.add("==", {K("Type_Info"), K("Type_Info")}, [same_type](Context&, Args a) { return make_bool(same_type(a[0], a[1])); });
    b.add("!=", {K("Type_Info"), K("Type_Info")}, [same_type](Context&, Args a) { return make_bool(!same_type(a[0], a[1])); });
    b.add("Type_Info", {K("Type_Info")}, [](Context&, Args a) { return make_type_info(info(a[0])); });
    // type(name[, throw]): an unknown name raises, or with throw == false gives the undefined type.
    const auto type = [](Context& c, Args a) -> Value {
        const std::string& n = *a[0].str();
        const TypeKey k = c.resolve_type(n);
        if (k.kind == TypeKey::Class && !c.is_class(n) && n != "void") {
            if (a.size == 1 || a[1].as_bool()) throw std::range_error("Type Not Known: " + n);
            return make_type_info({"", false, true});
        }
        return type_value(k);
    };
    b.add("type", {K("string")}, type);
    b.add("type", {K("string"), K("bool")}, type);

    // ---- copies ----
    b.add("clone", {K("")}, [](Context&, Args a) {
        Value c = clone(a[0]);
        c.set_flags(c.flags() | kTemp);
        return c;
    });
    b.add("new", {K("")}, [](Context& c, Args a) -> Value {
        const Value& x = a[0];
        switch (x.kind()) {
        case Kind::Number: return make_num(num_convert(Number::make(0), x.num().kind));
        case Kind::Bool: return make_bool(false);
        case Kind::String: return make_str("");
        case Kind::Vector: return make_vec({});
        case Kind::Map: return make_map({});
        case Kind::Object: return c.new_object((*x.obj())->class_name());
        default: return declined();
        }
    });
    b.add("dump_object", {K("")}, [](Context& c, Args a) {
        std::cout << (a[0].is_const() ? "const " : "") << c.type_name(a[0]) << '\n';
        return Value();
    });

    // ---- the engine ----
    b.add("compiler_name", {}, [](Context&, Args) { return make_str("chai"); });
    b.add("compiler_id", {}, [](Context&, Args) { return make_str("chai"); });
    b.add("compiler_version", {}, [](Context&, Args) { return make_str("1"); });
    b.add("debug_build", {}, [](Context&, Args) {
#ifdef NDEBUG
        return make_bool(false);
#else
        return make_bool(true);
#endif
    });
    b.add("version", {}, [](Context&, Args) { return make_str("5.8.5"); });
    b.add("version_major", {}, [](Context&, Args) { return num_value(5); });
    b.add("version_minor", {}, [](Context&, Args) { return num_value(8); });
    b.add("version_patch", {}, [](Context&, Args) { return num_value(5); });
}

}  // namespace chai
