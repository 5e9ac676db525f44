// Number types and casts, and operators used as functions (`+`(1, 2), `=`(a, 2), `++`(a)).
#include <sstream>

#include "chai/library/library.hpp"

namespace chai {

namespace {

// Stream extraction as the standard library does it: blanks skipped, reading stops at the first
// unfit character, garbage gives 0 and an out-of-range value the nearest limit of T.
template <class T> Number parse_as(const std::string& s) {
    std::istringstream is(s);
    if constexpr (std::is_floating_point_v<T> || sizeof(T) == 1 || sizeof(T) == 8) {
        // One-byte types read a character; the 64-bit and floating ones are read directly.
        T v = 0;
        if constexpr (sizeof(T) == 1) {
            char c = 0;
            is >> c;
            v = static_cast<T>(c);
        } else {
            is >> v;
        }
        return Number::make(v);
    } else {
        // Narrower integers: read wide, then clamp like the narrow extraction would. Unsigned
        // types take negative input modulo 2^n, as long as its magnitude fits.
        long long v = 0;
        is >> v;
        constexpr long long hi = static_cast<long long>(std::numeric_limits<T>::max());
        if constexpr (std::is_signed_v<T>) {
            constexpr long long lo = static_cast<long long>(std::numeric_limits<T>::min());
            return Number::make(v > hi ? T(hi) : v < lo ? T(lo) : static_cast<T>(v));
        } else {
            return Number::make(v > hi || v < -hi ? T(hi) : static_cast<T>(v));
        }
    }
}

// T(), T(n) and to_T(s); `kind` is given where the C++ type alone does not tell it (long long).
template <class T> void add_numeric_type(LibBuilder& b, const char* name, NumKind kind = kind_for<T>()) {
    b.add(name, {}, [kind](Context&, Args) { return make_num(num_convert(Number::make(T(0)), kind)); });
    b.add_intrinsic(name, {K("Number")}, Intrinsic::Convert, kind);
    b.add(std::string("to_") + name, {K("string")},
          [kind](Context&, Args a) { return make_num(num_convert(parse_as<T>(*a[0].str()), kind)); });
}

}  // namespace

void add_number_lib(LibBuilder& b) {
    add_numeric_type<int>(b, "int");
    add_numeric_type<double>(b, "double");
    add_numeric_type<float>(b, "float");
    add_numeric_type<int64_t>(b, "long");
    add_numeric_type<long long>(b, "long_long", NumKind::LongLong);
    add_numeric_type<unsigned>(b, "unsigned_int");
    add_numeric_type<uint64_t>(b, "unsigned_long");
    add_numeric_type<unsigned long long>(b, "unsigned_long_long", NumKind::ULongLong);
    add_numeric_type<uint64_t>(b, "size_t");
    add_numeric_type<char>(b, "char");
    add_numeric_type<long double>(b, "long_double");
    add_numeric_type<int8_t>(b, "int8_t");
    add_numeric_type<int16_t>(b, "int16_t");
    add_numeric_type<int32_t>(b, "int32_t");
    add_numeric_type<int64_t>(b, "int64_t");
    add_numeric_type<uint8_t>(b, "uint8_t");
    add_numeric_type<uint16_t>(b, "uint16_t");
    add_numeric_type<uint32_t>(b, "uint32_t");
    add_numeric_type<uint64_t>(b, "uint64_t");
    add_numeric_type<wchar_t>(b, "wchar_t");
    add_numeric_type<char16_t>(b, "char16_t");
    add_numeric_type<char32_t>(b, "char32_t");
    b.add("bool", {}, [](Context&, Args) { return make_bool(false); });
    b.add("bool", {K("bool")}, [](Context&, Args a) { return make_bool(a[0].as_bool()); });

    // ---- operators as functions (`+`(1, 2), foldl(v, `+`, 0)) ----
    for (int i = 0; i < kBinaryOpCount; ++i) {
        const NumOp op = static_cast<NumOp>(i);
        b.add(kBinaryOpText[i], {K("Number"), K("Number")}, [op](Context&, Args a) {
            if (is_comparison(op)) return make_bool(num_compare(op, a[0].num(), a[1].num()));
            return make_num_result(num_binary(op, a[0].num(), a[1].num()));
        });
    }
    b.add("-", {K("Number")}, [](Context&, Args a) { return make_num_result(num_neg(a[0].num())); });
    b.add("!", {K("bool")}, [](Context&, Args a) { return make_bool(!a[0].as_bool()); });
    // Assignments as functions change their first argument, as the statement would.
    b.add("=", {K(""), K("")}, [](Context& c, Args a) -> Value {
        Value target = a.ref(0);
        return c.assign_builtin(target, a[1], nullptr) ? target : declined();
    });
    // The compound assignments: every binary operator up to the comparisons, followed by "=".
    for (int i = 0; i < static_cast<int>(OpCode::Lt); ++i)
        b.add(std::string(kBinaryOpText[i]) + "=", {K(""), K("")},
              [op = static_cast<OpCode>(i)](Context& c, Args a) -> Value {
                  Value target = a.ref(0);
                  return c.compound_builtin(op, target, a[1], nullptr) ? target : declined();
              });
    for (int delta : {1, -1})
        b.add(delta > 0 ? "++" : "--", {K("Number")}, [delta](Context&, Args a) -> Value {
            const Value& target = a.ref(0);
            if (target.is_const()) return declined();
            Value& t = target.box()->scalar();
            Number x = t.num();
            num_incr(x, delta);
            t = Value::number(x);
            written(target.box());
            return target;
        });
}

}  // namespace chai
