// The value a literal in the tree spells.
#pragma once
#include "chai/runtime/value.hpp"
#include "chai/syntax/tree.hpp"

namespace chai {

// A read-only value: number and bool literals as immediates, strings boxed.
Value literal_value(const Node& n);

}  // namespace chai
