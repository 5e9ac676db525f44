// What the binding templates (binding.hpp, conversions.hpp) may do with script values: read them
// as C++ values, make script values from C++ values, and describe host functions. Everything else
// of the engine stays behind these few functions.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "chai/boxed_value.hpp"
#include "chai/runtime/host_type.hpp"
#include "chai/runtime/number.hpp"

namespace chai {

class Context;
struct Args;

namespace detail {

// A parameter or result type of a host function.
struct HostParam {
    enum Kind : uint8_t { Any, Number, Bool, String, Object, Void };
    Kind kind = Any;
    NumKind num = NumKind::Int;
    const HostTypeInfo* type = nullptr;  // Object
    bool is_const = false;               // taken as const (shown in signatures)
};

// The arguments of one host function call, or a single value being converted.
class HostCall {
public:
    HostCall(Context& c, const Args& a) : c_(c), args_(&a) {}
    HostCall(Context& c, const Boxed_Value& v) : c_(c), single_(&v) {}
    Context& context() const { return c_; }
    // The argument's value; by reference, a box the script's variable now shares.
    Boxed_Value arg(size_t i) const;
    Boxed_Value ref(size_t i) const;

private:
    Context& c_;
    const Args* args_ = nullptr;
    const Boxed_Value* single_ = nullptr;
};

enum class Fit : uint8_t { Ok, No, OutOfRange };

// ---- reading script values ----
bool read_bool(const Boxed_Value& v, bool& out);
bool read_number(const Boxed_Value& v, Number& out);
// An integer parameter: any number whose value (floating values truncated) lies in [lo, hi].
Fit read_signed(const Boxed_Value& v, int64_t lo, int64_t hi, int64_t& out);
Fit read_unsigned(const Boxed_Value& v, uint64_t hi, uint64_t& out);
// The string inside a script string (changes to it are the script's), or null.
std::string* string_in(const Boxed_Value& v);
// The C++ object of type t a value holds: the same type, a registered derived type, or a
// registered conversion (whose result `keep` owns). Null when there is none.
void* object_in(Context& c, const Boxed_Value& v, const HostTypeInfo& t, std::shared_ptr<void>& keep);
// The C++ object of exactly type t a value holds, or null.
void* object_exactly(const Boxed_Value& v, const HostTypeInfo& t);
// The elements of a script Vector, or the entries of a script Map; false for other values.
bool vector_elements(const Boxed_Value& v, std::vector<Boxed_Value>& out);
bool map_entries(const Boxed_Value& v, std::vector<std::pair<std::string, Boxed_Value>>& out);
// Writes a C++ number or bool back into a script value taken by reference (int& parameters).
void write_number(const Boxed_Value& target, const Number& n);
void write_bool(const Boxed_Value& target, bool b);

// ---- making script values ----
Boxed_Value make_bool_value(bool b);
Boxed_Value make_number_value(const Number& n);
Boxed_Value make_string_value(std::string s);
// A host object; fresh: a new value (taken over by declarations), else a reference into another.
Boxed_Value make_object_value(const HostTypeInfo& t, std::shared_ptr<void> p, bool fresh);
// A copy of a C++ number, bool or string whose changes in scripts are written back.
Boxed_Value make_reference_value(Boxed_Value copy, std::function<void(const Boxed_Value&)> write);
// A host member holding an undefined value gets a box of its own, so assignments through it stick.
void give_box(Boxed_Value& v);
// var(x) and const_var(x): a box the host shares with scripts, no longer a fresh result;
// const_var's is read-only.
Boxed_Value as_variable(Boxed_Value v, bool constant);
// The C++ type a value holds, as typeid().name() spells it (for cast errors).
const char* held_type_name(const Boxed_Value& v);

// A host function, as fun() makes it. body returns kCallOk, kCallDeclined (the arguments do not
// fit: other overloads may take them), or the index of an argument out of its parameter's range.
constexpr int kCallOk = -1;
constexpr int kCallDeclined = -2;
struct HostFunction {
    int arity = 0;
    std::vector<HostParam> params;
    HostParam result;
    bool member_getter = false;  // reads a data member: obj.name(args) calls the member's value
    std::function<int(HostCall&, Boxed_Value&)> body;
};

}  // namespace detail
}  // namespace chai
