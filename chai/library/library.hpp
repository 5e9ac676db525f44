// The standard library: built once per process, shared read-only by every engine.
#pragma once
#include "chai/runtime/interp.hpp"

namespace chai {

// The library's function table (copied by reference into each engine).
const FnTable& stdlib_functions();

// Registration helpers used by the library parts.
class LibBuilder {
public:
    explicit LibBuilder(FnTable& t) : table_(t) {}
    void add(const std::string& name, std::vector<TypeKey> params, std::function<BoxRef(Interp&, Args)> fn,
             int arity = -2);
    // Getter of a data member of a library type (see Callable::member_getter).
    void add_member(const std::string& name, TypeKey owner, std::function<BoxRef(Interp&, Args)> fn);
    // Untyped library functions behave like script functions in dispatch order. A guarded one
    // only takes arguments its guard accepts, and a script may define the same signature.
    void add_untyped(const std::string& name, int arity, std::function<BoxRef(Interp&, Args)> fn,
                     std::function<bool(Args)> guard = nullptr);

private:
    void append(const std::string& name, FuncRef f);
    FnTable& table_;
};

void add_core_lib(LibBuilder& b);
void add_string_lib(LibBuilder& b);
void add_container_lib(LibBuilder& b);
void add_functional_lib(LibBuilder& b);
void add_reflect_lib(LibBuilder& b);
void add_json_lib(LibBuilder& b);
void add_ast_lib(LibBuilder& b);
void add_async_lib(LibBuilder& b);

// Shared helpers.
std::string value_text(Interp& in, const BoxRef& b);  // to_string of built-in values
TypeKey K(const char* name);                          // parameter type by name ("" = untyped)
BoxRef undef();
bool values_equal(Interp& in, const BoxRef& a, const BoxRef& b);

// The value of a box a library function changes in place. Constants (literals, host constants)
// are refused like an argument of the wrong type: a literal must never change.
template <class T> T& changeable(const BoxRef& b) {
    if (b->is_const) throw ConversionFailed{};
    return std::get<T>(b->v);
}

// Errors of code run by a script's own eval() become values that script can catch.
template <class F> BoxRef errors_catchable(F run) {
    try {
        return run();
    } catch (const exception::eval_error& e) {
        throw ScriptThrow{make_box(Value(ErrorV("eval_error", e.what(), std::make_shared<exception::eval_error>(e))))};
    }
}

// Library value types carried as host objects, named for type_name() and messages.
template <class T> TypeKey lib_type(const char* name) {
    register_host_type(typeid(T), name, nullptr);
    TypeKey k;
    k.kind = TypeKey::Host;
    k.host = &typeid(T);
    k.name = name;
    return k;
}
template <class T> BoxRef lib_box(T v) {
    return make_box(Value(HostObj{&typeid(T), std::make_shared<T>(std::move(v))}));
}
template <class T> T& lib_obj(const BoxRef& b) { return *static_cast<T*>(std::get<HostObj>(b->v).ptr.get()); }

}  // namespace chai
