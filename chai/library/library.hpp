// The standard library: built once per process, shared read-only by every engine. Its functions
// see the engine only through Context.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "chai/runtime/context.hpp"
#include "chai/runtime/host_registry.hpp"

namespace chai {

// The library's functions by shared name, and the names of its value types.
const LibraryTable& library_table();
const HostRegistry& library_types();

using LibFn = std::function<Value(Context&, Args)>;

// Registration helpers used by the library parts.
class LibBuilder {
public:
    LibBuilder(LibraryTable& t, HostRegistry& types) : table_(t), types_(types) {}
    void add(const std::string& name, std::vector<TypeKey> params, LibFn fn, int arity = -2);
    // Getter of a data member of a library type (see Callable::member_getter).
    void add_member(const std::string& name, TypeKey owner, LibFn fn);
    // Untyped library functions behave like script functions in dispatch order. A guarded one
    // only takes arguments its guard accepts, and a script may define the same signature.
    void add_untyped(const std::string& name, int arity, LibFn fn, std::function<bool(Args)> guard = nullptr);
    // A function that call sites may run directly (see Intrinsic); to: the kind Convert makes.
    void add_intrinsic(const std::string& name, std::vector<TypeKey> params, Intrinsic id,
                       NumKind to = NumKind::Int);
    // A library value type carried as a host object, named for type_name() and messages.
    template <class T> TypeKey type(const char* name);

private:
    static TypeKey result_of(const std::string& name);
    void append(const std::string& name, FuncRef f);
    LibraryTable& table_;
    HostRegistry& types_;
};

void add_core_lib(LibBuilder& b);
void add_text_lib(LibBuilder& b);
void add_type_lib(LibBuilder& b);
void add_function_lib(LibBuilder& b);
void add_number_lib(LibBuilder& b);
void add_string_lib(LibBuilder& b);
void add_container_lib(LibBuilder& b);
void add_functional_lib(LibBuilder& b);
void add_reflect_lib(LibBuilder& b);
void add_json_lib(LibBuilder& b);
void add_ast_lib(LibBuilder& b);
void add_async_lib(LibBuilder& b);

// ---- shared helpers ----
// to_string of built-in values; ok is false for values only script overloads can print.
std::string value_text(Context& c, const Value& v, bool& ok);
TypeKey K(const char* name);  // parameter type by name ("" = untyped)
bool values_equal(Context& c, const Value& a, const Value& b);
// A library function refusing its arguments: dispatch tries the next overload.
inline Value declined() { return Value::unset(); }
// An element, attribute or other slot returned to the caller as itself (assignable, shared).
inline Value ref_to(Value& slot) { return promote(slot); }
// Snapshot of a container's elements (Vector, Map entries, string chars, Range); null if none.
std::shared_ptr<Vector> elements_of(const Value& c);

// The content of a value a library function changes in place; null for constants (literals,
// host constants), which are refused like an argument of the wrong type.
inline Vector* changeable_vec(const Value& v) { return v.is_const() ? nullptr : v.vec(); }
inline Map* changeable_map(const Value& v) { return v.is_const() ? nullptr : v.map(); }
inline std::string* changeable_str(const Value& v) { return v.is_const() ? nullptr : v.str(); }

// Errors of code run by a script's own eval() become values that script can catch.
template <class F> Value errors_catchable(F run) {
    try {
        return run();
    } catch (const exception::eval_error& e) {
        throw ScriptThrow{make_error(ErrorV("eval_error", e.what(), std::make_shared<exception::eval_error>(e)))};
    }
}

// Library value types are never copied: copies of such a value share one object.
template <class T> const HostTypeInfo& lib_type_info() {
    static const HostTypeInfo info{&typeid(T), next_host_type_id(), nullptr};
    return info;
}
template <class T> TypeKey LibBuilder::type(const char* name) {
    types_.name_type(lib_type_info<T>(), name);
    return host_key(types_, lib_type_info<T>());
}
template <class T> Value lib_value(T v, std::shared_ptr<Vector> held = nullptr) {
    return make_box<P_Host>(HostObj{&lib_type_info<T>(), std::make_shared<T>(std::move(v)), std::move(held)});
}
template <class T> T& lib_obj(const Value& v) { return *static_cast<T*>(v.host()->ptr.get()); }

}  // namespace chai
