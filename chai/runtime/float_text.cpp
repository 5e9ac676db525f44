#include "chai/runtime/float_text.hpp"

#include <charconv>
#include <cmath>
#include <locale>
#include <sstream>

namespace chai {

namespace {

// Six significant digits, %g style: what a stream with default flags writes in the classic locale.
template <class T> std::string general6(T x) {
    char buf[64];
    const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::general, 6);
    return std::string(buf, r.ptr);
}

}  // namespace

std::string float_text(const Number& n) {
    // Not every C library prints the sign of a NaN; write the special values ourselves.
    const double d = n.kind == NumKind::Float ? static_cast<double>(n.f) : n.d;
    if (std::isnan(d)) return std::signbit(d) ? "-nan" : "nan";
    if (std::isinf(d)) return d < 0 ? "-inf" : "inf";
    // A host may install a global locale with its own decimal point or digit grouping; only the
    // stream knows how to apply it.
    if (std::locale() == std::locale::classic()) {
        if (n.kind == NumKind::Float) return general6(n.f);
        if (n.kind == NumKind::Double) return general6(n.d);
        return general6(static_cast<long double>(n.d));
    }
    std::ostringstream os;
    if (n.kind == NumKind::Float) os << n.f;
    else if (n.kind == NumKind::Double) os << n.d;
    else os << static_cast<long double>(n.d);
    return os.str();
}

}  // namespace chai
