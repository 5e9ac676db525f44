#include "chai/runtime/float_text.hpp"

#include <charconv>
#include <cmath>
#include <locale>
#include <sstream>

namespace chai {

namespace {

// Six significant digits, %g style: what a stream with default flags writes in the classic locale.
// A float or long double here holds a double's exact value, and its digits are those of that
// value correctly rounded, so the double's conversion serves all three.
std::string general6(double x) {
    char buf[64];
    const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::general, 6);
    return std::string(buf, r.ptr);
}

template <class T> std::string streamed(T x) {
    std::ostringstream os;
    os << x;
    return os.str();
}

}  // namespace

std::string float_text(const Number& n) {
    // Not every C library prints the sign of a NaN; write the special values ourselves.
    const double d = n.kind == NumKind::Float ? static_cast<double>(n.f) : n.d;
    if (std::isnan(d)) return std::signbit(d) ? "-nan" : "nan";
    if (std::isinf(d)) return d < 0 ? "-inf" : "inf";
    // A host may install a global locale with its own decimal point or digit grouping; only the
    // stream knows how to apply it.
    if (std::locale() == std::locale::classic()) return general6(d);
    // The stream, given each kind in its own type (a long double is kept as a double).
    if (n.kind == NumKind::Float) return streamed(n.f);
    if (n.kind == NumKind::Double) return streamed(n.d);
    return streamed(static_cast<long double>(n.d));
}

}  // namespace chai
