// Values of literals, with the language's rules for the type a number literal gets.
#include "chai/runtime/literals.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "chai/runtime/box.hpp"

namespace chai {

namespace {

Number floating_literal(const std::string& s) {
    size_t e = s.size();
    bool has_f = false, has_l = false;
    while (e > 0 && std::strchr("fFlL", s[e - 1])) {
        has_f |= s[e - 1] == 'f' || s[e - 1] == 'F';
        has_l |= s[e - 1] == 'l' || s[e - 1] == 'L';
        --e;
    }
    std::string digits = s.substr(0, e);
    if (has_f) return Number::make(std::strtof(digits.c_str(), nullptr));
    if (has_l) return Number::make(std::strtold(digits.c_str(), nullptr));
    return Number::make(std::strtod(digits.c_str(), nullptr));
}

// The first row that fits: int, uint32_t (unsigned or not decimal), int64_t, size_t, long long,
// unsigned long long; beyond 64 bits the largest long long. The literal is text from `from` on.
Number integer_literal(const std::string& text, size_t from) {
    // Most are short plain decimals, an int whatever their digits: read in place.
    if (const size_t len = text.size() - from; len >= 1 && len <= 9 && (text[from] != '0' || len == 1)) {
        int32_t v = 0;
        size_t i = from;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) v = v * 10 + (text[i] - '0');
        if (i == text.size()) return Number::make(v);
    }
    const std::string s = text.substr(from);
    size_t e = s.size();
    int ls = 0;
    bool u = false;
    while (e > 0 && std::strchr("uUlL", s[e - 1])) {
        if (s[e - 1] == 'u' || s[e - 1] == 'U') u = true;
        else ++ls;
        --e;
    }
    std::string body = s.substr(0, e);
    int base = 10;
    size_t skip = 0;
    if (body.size() > 1 && (body[1] == 'x' || body[1] == 'X')) base = 16, skip = 2;
    else if (body.size() > 1 && (body[1] == 'b' || body[1] == 'B')) base = 2, skip = 2;
    else if (body.size() > 1 && body[0] == '0') base = 8, skip = 1;
    std::string digits = body.substr(skip);
    const bool nondec = base != 10;
    errno = 0;
    long long sv = std::strtoll(digits.c_str(), nullptr, base);
    uint64_t uv = static_cast<uint64_t>(sv);
    if (errno == ERANGE) {
        errno = 0;
        unsigned long long uu = std::strtoull(digits.c_str(), nullptr, base);
        if (errno == ERANGE) return num_convert(Number::make(INT64_MAX), NumKind::LongLong);
        return Number::make(static_cast<uint64_t>(uu));
    }
    const bool L = ls >= 1, LL = ls >= 2;
    if (!u && !L && sv >= INT32_MIN && sv <= INT32_MAX) return Number::make(static_cast<int32_t>(sv));
    if ((u || nondec) && !L && uv <= UINT32_MAX) return Number::make(static_cast<uint32_t>(uv));
    if (!u && !LL) return Number::make(static_cast<int64_t>(sv));
    if ((u || nondec) && !LL) return Number::make(uv);
    if (!u) return num_convert(Number::make(static_cast<int64_t>(sv)), NumKind::LongLong);
    return num_convert(Number::make(uv), NumKind::ULongLong);
}

}  // namespace

Value literal_value(const Node& n) {
    Value v;
    switch (n.literal) {
    case Literal::String: return make_box<P_String>(n.text, kConst);
    case Literal::Bool: return Value::boolean(n.text == "true", kConst);
    case Literal::Char: v = Value::of(n.text[n.minus]); break;
    case Literal::Infinity: v = Value::of(std::numeric_limits<double>::infinity()); break;
    case Literal::NaN: v = Value::of(std::numeric_limits<double>::quiet_NaN()); break;
    case Literal::Floating: v = Value::number(floating_literal(n.text.substr(n.minus))); break;
    case Literal::Integer: v = Value::number(integer_literal(n.text, n.minus)); break;
    default: return Value();
    }
    Number x = v.num();
    for (int i = 0; i < n.minus; ++i) x = num_neg(x);
    return Value::number(x, kConst);
}

}  // namespace chai
