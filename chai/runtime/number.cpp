#include "chai/runtime/number.hpp"

#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "chai/errors.hpp"
#include "chai/runtime/float_text.hpp"

namespace chai {

bool kind_is_signed(NumKind k) {
    switch (k) {
    case NumKind::Int8: case NumKind::Int16: case NumKind::Int: case NumKind::Long:
    case NumKind::LongLong: return true;
    case NumKind::Char: return std::is_signed_v<char>;
    case NumKind::WChar: return std::is_signed_v<wchar_t>;
    default: return false;
    }
}

bool Number::is_signed_int() const { return !is_floating() && kind_is_signed(kind); }

const char* kind_name(NumKind k) {
    switch (k) {
    case NumKind::Int8: return "int8_t";
    case NumKind::UInt8: return "uint8_t";
    case NumKind::Int16: return "int16_t";
    case NumKind::UInt16: return "uint16_t";
    case NumKind::Int: return "int";
    case NumKind::UInt: return "uint32_t";
    case NumKind::Long: return "int64_t";
    case NumKind::ULong: return "size_t";
    case NumKind::LongLong: return "long_long";
    case NumKind::ULongLong: return "unsigned_long_long";
    case NumKind::Char: return "char";
    case NumKind::WChar: return "wchar_t";
    case NumKind::Char16: return "char16_t";
    case NumKind::Char32: return "char32_t";
    case NumKind::Float: return "float";
    case NumKind::Double: return "double";
    case NumKind::LongDouble: return "long_double";
    }
    return "?";
}

static NumKind promote(NumKind k) {
    switch (k) {
    case NumKind::Int8: case NumKind::UInt8: case NumKind::Int16: case NumKind::UInt16:
    case NumKind::Char: case NumKind::Char16: return NumKind::Int;
    case NumKind::WChar: return sizeof(wchar_t) < 4 || std::is_signed_v<wchar_t> ? NumKind::Int : NumKind::UInt;
    case NumKind::Char32: return NumKind::UInt;
    case NumKind::LongLong: return NumKind::Long;
    case NumKind::ULongLong: return NumKind::ULong;
    default: return k;
    }
}

NumKind common_kind(NumKind a, NumKind b) {
    if (a == NumKind::LongDouble || b == NumKind::LongDouble) return NumKind::LongDouble;
    if (a == NumKind::Double || b == NumKind::Double) return NumKind::Double;
    if (a == NumKind::Float || b == NumKind::Float) return NumKind::Float;
    a = promote(a);
    b = promote(b);
    if (a == NumKind::ULong || b == NumKind::ULong) return NumKind::ULong;
    if (a == NumKind::Long || b == NumKind::Long) return NumKind::Long;
    if (a == NumKind::UInt || b == NumKind::UInt) return NumKind::UInt;
    return NumKind::Int;
}

namespace {
// long long is int64_t on some platforms: its kind is set, not deduced from the C++ type, so
// type names and promotions are the same everywhere.
Number with_kind(Number n, NumKind k) {
    n.kind = k;
    return n;
}
}  // namespace

Number num_convert(const Number& v, NumKind k) {
    switch (k) {
    case NumKind::Int8: return Number::make(v.as<int8_t>());
    case NumKind::UInt8: return Number::make(v.as<uint8_t>());
    case NumKind::Int16: return Number::make(v.as<int16_t>());
    case NumKind::UInt16: return Number::make(v.as<uint16_t>());
    case NumKind::Int: return Number::make(v.as<int32_t>());
    case NumKind::UInt: return Number::make(v.as<uint32_t>());
    case NumKind::Long: return Number::make(v.as<int64_t>());
    case NumKind::ULong: return Number::make(v.as<uint64_t>());
    case NumKind::LongLong: return with_kind(Number::make(v.as<int64_t>()), k);
    case NumKind::ULongLong: return with_kind(Number::make(v.as<uint64_t>()), k);
    case NumKind::Char: return Number::make(v.as<char>());
    case NumKind::WChar: return Number::make(v.as<wchar_t>());
    case NumKind::Char16: return Number::make(v.as<char16_t>());
    case NumKind::Char32: return Number::make(v.as<char32_t>());
    case NumKind::Float: return Number::make(v.as<float>());
    case NumKind::Double: return Number::make(v.as<double>());
    case NumKind::LongDouble: return Number::make(v.as<long double>());
    }
    return v;
}

namespace {

[[noreturn]] void divide_by_zero() { throw exception::arithmetic_error("divide by zero"); }
[[noreturn]] void bad_numeric(NumOp op);

void bad_numeric(NumOp op) {
    throw exception::detail_numeric_error(std::string("Error with numeric operator calling: ") +
                                          binary_text(op));
}

// Integer arithmetic in type T.
template <class T> Number int_op(NumOp op, T a, T b) {
    if (op > NumOp::BitXor) bad_numeric(op);
    T r;
    if (!int_arith(op, a, b, r)) divide_by_zero();
    return Number::make(r);
}

template <class T> Number float_op(NumOp op, T a, T b) {
    if (op > NumOp::Div) bad_numeric(op);
    return Number::make(float_arith(op, a, b));
}

// f(x, y) with both operands converted to the C++ type of their common kind.
template <class F> auto in_common_type(const Number& a, const Number& b, F f) {
    switch (common_kind(a.kind, b.kind)) {
    case NumKind::LongDouble: return f(a.as<long double>(), b.as<long double>());
    case NumKind::Double: return f(a.as<double>(), b.as<double>());
    case NumKind::Float: return f(a.as<float>(), b.as<float>());
    case NumKind::ULong: return f(a.as<uint64_t>(), b.as<uint64_t>());
    case NumKind::Long: return f(a.as<int64_t>(), b.as<int64_t>());
    case NumKind::UInt: return f(a.as<uint32_t>(), b.as<uint32_t>());
    default: return f(a.as<int32_t>(), b.as<int32_t>());
    }
}

}  // namespace

Number num_binary(NumOp op, const Number& a, const Number& b) {
    if (a.kind == NumKind::Int && b.kind == NumKind::Int)
        return int_op(op, static_cast<int32_t>(a.i), static_cast<int32_t>(b.i));
    return in_common_type(a, b, [op](auto x, auto y) {
        if constexpr (std::is_floating_point_v<decltype(x)>) return float_op(op, x, y);
        else return int_op(op, x, y);
    });
}

bool num_compound_mixed(NumOp op, Number& d, const Number& s) {
    const bool wide = d.kind == NumKind::Long;
    if (!wide && d.kind != NumKind::Int) return false;
    if (s.kind == NumKind::Double) {
        // (A long taking a double is num_compound_quick's own.)
        if (op > NumOp::Div || wide) return false;
        d.i = saturating_cast<int32_t>(float_arith(op, static_cast<double>(d.i), s.d));
        return true;
    }
    if (op > NumOp::Mul || s.is_floating()) return false;
    wrapping_compound(op, d, s);
    return true;
}

bool num_compare(NumOp op, const Number& a, const Number& b) {
    if (a.kind == b.kind && kind_is_signed(a.kind) && !a.is_floating()) return compare_values(op, a.i, b.i);
    return in_common_type(a, b, [op](auto x, auto y) { return compare_values(op, x, y); });
}

Number num_neg(const Number& a) {
    // Floating values negate directly: 0 - x would lose the sign of zero and of NaN.
    if (a.kind == NumKind::Float) return Number::make(-a.f);
    if (a.is_floating()) {
        Number r = a;
        r.d = -a.d;
        return r;
    }
    Number zero = num_convert(Number::make(0), a.kind);
    return num_binary(NumOp::Sub, zero, a);
}

Number num_plus(const Number& a) {
    if (a.is_floating()) return a;
    return num_binary(NumOp::Add, num_convert(Number::make(0), a.kind), a);
}

Number num_compl(const Number& a) {
    if (a.is_floating()) throw exception::detail_numeric_error("Error with prefix operator evaluation: '~'");
    return num_binary(NumOp::BitXor, a, num_convert(Number::make(-1), a.kind));
}

void num_incr(Number& a, int delta) {
    if (a.kind == NumKind::Int) {
        a.i = static_cast<int32_t>(static_cast<uint32_t>(a.i) + static_cast<uint32_t>(delta));
        return;
    }
    a = num_convert(num_binary(NumOp::Add, a, Number::make(delta)), a.kind);
}

std::string num_to_string(const Number& n) {
    if (n.is_floating()) return float_text(n);
    if (kind_is_signed(n.kind)) return std::to_string(n.i);
    return std::to_string(n.u);
}

}  // namespace chai
