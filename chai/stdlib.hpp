// The standard library: built once per process, shared read-only by every engine.
#pragma once
#include "chai/interp.hpp"

namespace chai {

// The library's function table (copied by reference into each engine).
const FnTable& stdlib_functions();

// Registration helpers used by the library parts.
class LibBuilder {
public:
    explicit LibBuilder(FnTable& t) : table_(t) {}
    void add(const std::string& name, std::vector<TypeKey> params, std::function<BoxRef(Interp&, Args)> fn,
             int arity = -2);
    // Untyped library functions behave like script functions in dispatch order.
    void add_untyped(const std::string& name, int arity, std::function<BoxRef(Interp&, Args)> fn);

private:
    FnTable& table_;
};

void add_core_lib(LibBuilder& b);
void add_string_lib(LibBuilder& b);
void add_container_lib(LibBuilder& b);
void add_functional_lib(LibBuilder& b);
void add_reflect_lib(LibBuilder& b);

// Shared helpers.
std::string value_text(Interp& in, const BoxRef& b);  // to_string of built-in values
TypeKey K(const char* name);                          // parameter type by name ("" = untyped)
BoxRef undef();
bool values_equal(Interp& in, const BoxRef& a, const BoxRef& b);

}  // namespace chai
