// The text form of a floating-point number, as a default-formatted C++ stream writes it.
#pragma once
#include <string>

#include "chai/runtime/number.hpp"

namespace chai {

// n is floating (float, double or long double).
std::string float_text(const Number& n);

}  // namespace chai
