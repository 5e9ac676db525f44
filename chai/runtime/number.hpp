// Script numbers: every C++ arithmetic type the language knows, with C++ promotion rules.
#pragma once
#include <cstdint>
#include <limits>
#include <string>
#include <type_traits>

#include "chai/syntax/operators.hpp"

namespace chai {

enum class NumKind : uint8_t {
    Int8, UInt8, Int16, UInt16, Int, UInt, Long, ULong, LongLong, ULongLong,
    Char, WChar, Char16, Char32, Float, Double, LongDouble
};

// Numbers compute the binary operators under their own codes: no second list to keep in step.
using NumOp = OpCode;

struct Number {
    NumKind kind = NumKind::Int;
    // long double values are kept as double: the type survives, the extra precision does not,
    // which keeps every number (and so every copy of one) at 16 bytes.
    union {
        int64_t i;
        uint64_t u;
        float f;
        double d;
    };
    Number() : i(0) {}

    bool is_floating() const { return kind >= NumKind::Float; }
    bool is_signed_int() const;

    template <class T> static Number make(T v);
    template <class T> T as() const;
};

NumKind kind_of_int(int64_t);
bool kind_is_signed(NumKind k);
const char* kind_name(NumKind k);

// C++ common type after integer promotion (long long folds into long).
NumKind common_kind(NumKind a, NumKind b);

// Arithmetic/bitwise/compare; throws on integer division by zero and on bit ops with floats.
Number num_binary(NumOp op, const Number& a, const Number& b);
// Unary minus, plus, complement, increment, decrement.
Number num_neg(const Number& a);
Number num_compl(const Number& a);
Number num_plus(const Number& a);
void num_incr(Number& a, int delta);
bool num_compare(NumOp op, const Number& a, const Number& b);
// Converts v to kind k (C++ static_cast semantics, saturating float->int).
Number num_convert(const Number& v, NumKind k);
std::string num_to_string(const Number& n);

// Comparison of two values of one C++ type.
template <class T> inline bool compare_values(NumOp op, T a, T b) {
    switch (op) {
    case NumOp::Lt: return a < b;
    case NumOp::Le: return a <= b;
    case NumOp::Gt: return a > b;
    case NumOp::Ge: return a >= b;
    case NumOp::Eq: return a == b;
    default: return a != b;
    }
}

// An integer operator (Add to BitXor) in type T, wrapping instead of overflowing: the minimum
// divided by -1 is itself, a remainder by -1 is 0, shifts take the count modulo the width. False
// for a division by zero, which the caller reports.
template <class T> inline bool int_arith(NumOp op, T a, T b, T& out) {
    using U = std::make_unsigned_t<T>;
    constexpr unsigned bits = sizeof(T) * 8;
    switch (op) {
    case NumOp::Add: out = static_cast<T>(static_cast<U>(a) + static_cast<U>(b)); return true;
    case NumOp::Sub: out = static_cast<T>(static_cast<U>(a) - static_cast<U>(b)); return true;
    case NumOp::Mul: out = static_cast<T>(static_cast<U>(a) * static_cast<U>(b)); return true;
    case NumOp::Div:
    case NumOp::Mod:
        if (b == 0) return false;
        if constexpr (std::is_signed_v<T>)
            if (b == -1) {
                out = op == NumOp::Div ? static_cast<T>(U(0) - static_cast<U>(a)) : T(0);
                return true;
            }
        out = op == NumOp::Div ? static_cast<T>(a / b) : static_cast<T>(a % b);
        return true;
    case NumOp::Shl: out = static_cast<T>(static_cast<U>(a) << (static_cast<U>(b) & (bits - 1))); return true;
    case NumOp::Shr: out = static_cast<T>(a >> (static_cast<U>(b) & (bits - 1))); return true;
    case NumOp::BitAnd: out = static_cast<T>(a & b); return true;
    case NumOp::BitOr: out = static_cast<T>(a | b); return true;
    default: out = static_cast<T>(a ^ b); return true;
    }
}

// + - * / in a floating type (op is one of them).
template <class T> inline T float_arith(NumOp op, T a, T b) {
    switch (op) {
    case NumOp::Add: return a + b;
    case NumOp::Sub: return a - b;
    case NumOp::Mul: return a * b;
    default: return a / b;
    }
}

// Inline shortcuts for the commonest kinds: int with int, double with double, and an int with a
// double (the int converts, as in C++). Other kinds, and whatever can fail, take the full way.
namespace quick {
// Both operands as doubles, when one is a double and the other a double or an int.
inline bool doubles(const Number& a, const Number& b, double& x, double& y) {
    if (a.kind == NumKind::Double) {
        x = a.d;
        if (b.kind == NumKind::Double) y = b.d;
        else if (b.kind == NumKind::Int) y = static_cast<double>(b.i);
        else return false;
        return true;
    }
    if (a.kind != NumKind::Int || b.kind != NumKind::Double) return false;
    x = static_cast<double>(a.i);
    y = b.d;
    return true;
}
}  // namespace quick

inline bool num_compare_quick(NumOp op, const Number& a, const Number& b) {
    if (a.kind == NumKind::Int && b.kind == NumKind::Int) return compare_values(op, a.i, b.i);
    // An int against a size (a loop bound): the int converts to the unsigned type, as in C++.
    if ((a.kind == NumKind::Int && b.kind == NumKind::ULong) || (a.kind == NumKind::ULong && b.kind == NumKind::Int))
        return compare_values(op, a.u, b.u);
    double x, y;
    if (quick::doubles(a, b, x, y)) return compare_values(op, x, y);
    return num_compare(op, a, b);
}
// num_binary_quick's inline cases, none of which can fail; false for the others.
inline bool num_binary_inline(NumOp op, const Number& a, const Number& b, Number& out) {
    if (a.kind == NumKind::Int && b.kind == NumKind::Int) {
        // In 32 bits: the values are ints, and the narrow division is much the cheaper. Division
        // by zero takes the full way, which reports it.
        int32_t r;
        if (op > NumOp::BitXor || !int_arith(op, static_cast<int32_t>(a.i), static_cast<int32_t>(b.i), r)) return false;
        out = Number::make(r);
        return true;
    }
    double x, y;
    if (op > NumOp::Div || !quick::doubles(a, b, x, y)) return false;
    out = Number::make(float_arith(op, x, y));
    return true;
}
inline Number num_binary_quick(NumOp op, const Number& a, const Number& b) {
    Number r;
    return num_binary_inline(op, a, b, r) ? r : num_binary(op, a, b);
}
// d op= s without leaving d's kind, inline for an int with an int, a double with a double or an
// int, and a long with a double; num_compound_mixed takes an int with a double or an int or a long
// with another integer (+ - * only). With a double: computed in double and converted back,
// saturating, as the full way does. False for anything else (the full way converts, and knows the
// errors).
bool num_compound_mixed(NumOp op, Number& d, const Number& s);
template <class To, class From> To saturating_cast(From v);
// d op= s for integers d (an int or a long) and s, op one of + - *: they wrap in a type at least
// as wide as d's, which then keeps the low bits, and those depend only on the operands' low bits,
// whatever their kinds.
inline void wrapping_compound(NumOp op, Number& d, const Number& s) {
    const uint64_t x = d.u, y = s.u;
    const uint64_t r = op == NumOp::Add ? x + y : op == NumOp::Sub ? x - y : x * y;
    d.i = d.kind == NumKind::Long ? static_cast<int64_t>(r) : static_cast<int32_t>(static_cast<uint32_t>(r));
}
[[gnu::always_inline]] inline bool num_compound_quick(NumOp op, Number& d, const Number& s) {
    if (d.kind == NumKind::Double) {
        if (op > NumOp::Div) return false;
        if (s.kind == NumKind::Double) d.d = float_arith(op, d.d, s.d);
        else if (s.kind == NumKind::Int) d.d = float_arith(op, d.d, static_cast<double>(s.i));
        else return false;
        return true;
    }
    if (d.kind == NumKind::Long && s.kind == NumKind::Double && op <= NumOp::Div) {
        // A long total taking doubles: computed in double, converted back saturating.
        d.i = saturating_cast<int64_t>(float_arith(op, static_cast<double>(d.i), s.d));
        return true;
    }
    if (d.kind == NumKind::Long && s.kind == NumKind::Int && op <= NumOp::Mul) {
        wrapping_compound(op, d, s);
        return true;
    }
    // (The operand's kind first: a size added to an int total leaves at once.)
    if (s.kind != NumKind::Int || d.kind != NumKind::Int) return num_compound_mixed(op, d, s);
    int32_t r;
    if (op > NumOp::Mod) return false;
    if (!int_arith(op, static_cast<int32_t>(d.i), static_cast<int32_t>(s.i), r)) return false;
    d = Number::make(r);
    return true;
}
inline void num_incr_quick(Number& a, int delta) {
    if (a.kind == NumKind::Int) a.i = static_cast<int32_t>(static_cast<uint32_t>(a.i) + static_cast<uint32_t>(delta));
    else num_incr(a, delta);
}

// ---- implementation of the templates ----
template <class T> constexpr NumKind kind_for() {
    using U = std::remove_cv_t<T>;
    if constexpr (std::is_same_v<U, char>) return NumKind::Char;
    else if constexpr (std::is_same_v<U, wchar_t>) return NumKind::WChar;
    else if constexpr (std::is_same_v<U, char16_t>) return NumKind::Char16;
    else if constexpr (std::is_same_v<U, char32_t>) return NumKind::Char32;
    else if constexpr (std::is_same_v<U, float>) return NumKind::Float;
    else if constexpr (std::is_same_v<U, double>) return NumKind::Double;
    else if constexpr (std::is_same_v<U, long double>) return NumKind::LongDouble;
    // The fixed 64-bit types first, so their names do not depend on the platform's long.
    else if constexpr (std::is_same_v<U, int64_t>) return NumKind::Long;
    else if constexpr (std::is_same_v<U, uint64_t>) return NumKind::ULong;
    else if constexpr (std::is_same_v<U, long long>) return NumKind::LongLong;
    else if constexpr (std::is_same_v<U, unsigned long long>) return NumKind::ULongLong;
    else if constexpr (std::is_signed_v<U>) {
        if constexpr (sizeof(U) == 1) return NumKind::Int8;
        else if constexpr (sizeof(U) == 2) return NumKind::Int16;
        else if constexpr (sizeof(U) == 4) return NumKind::Int;
        else return NumKind::Long;
    } else {
        if constexpr (sizeof(U) == 1) return NumKind::UInt8;
        else if constexpr (sizeof(U) == 2) return NumKind::UInt16;
        else if constexpr (sizeof(U) == 4) return NumKind::UInt;
        else return NumKind::ULong;
    }
}

template <class T> Number Number::make(T v) {
    Number n;
    n.kind = kind_for<T>();
    if constexpr (std::is_same_v<T, float>) n.f = v;
    else if constexpr (std::is_same_v<T, double>) n.d = v;
    else if constexpr (std::is_same_v<T, long double>) n.d = static_cast<double>(v);
    else if constexpr (std::is_signed_v<T>) n.i = static_cast<int64_t>(v);
    else n.u = static_cast<uint64_t>(v);
    return n;
}

template <class To, class From> To saturating_cast(From v) {
    if constexpr (std::is_floating_point_v<From> && std::is_integral_v<To>) {
        if (!(v == v)) return To(0);
        if (v <= static_cast<From>(std::numeric_limits<To>::min())) return std::numeric_limits<To>::min();
        if (v >= static_cast<From>(std::numeric_limits<To>::max())) return std::numeric_limits<To>::max();
        return static_cast<To>(v);
    } else {
        return static_cast<To>(v);
    }
}

template <class T> T Number::as() const {
    // The commonest kind (an index, a count) without the table of signed kinds.
    if (kind == NumKind::Int) return static_cast<T>(i);
    switch (kind) {
    case NumKind::Float: return saturating_cast<T>(f);
    case NumKind::Double: return saturating_cast<T>(d);
    case NumKind::LongDouble: return saturating_cast<T>(d);
    default: break;
    }
    if (kind_is_signed(kind)) return static_cast<T>(i);
    return static_cast<T>(u);
}

// num_convert, inline for a number of the kind asked for and between int and double.
inline Number num_convert_quick(const Number& v, NumKind k) {
    // (Field by field: a copy of the whole would read the bytes after the kind, which a number
    // just made on the stack has not written, and wait for the kind's store to reach the cache.)
    if (v.kind == k) {
        Number r;
        r.kind = k;
        r.u = v.u;
        return r;
    }
    if (k == NumKind::Int && v.kind == NumKind::Double) return Number::make(v.as<int32_t>());
    if (k == NumKind::Double && v.kind == NumKind::Int) return Number::make(static_cast<double>(v.i));
    return num_convert(v, k);
}

}  // namespace chai
