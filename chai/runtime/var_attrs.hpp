// Named attributes attached to any value box (get_var_attr and friends). Few boxes ever carry
// them, so they live in a side table and a box only holds a flag saying it has an entry.
#pragma once
#include <functional>

#include "chai/runtime/value.hpp"

namespace chai {

// The attribute `name` of b, created undefined on first use.
BoxRef var_attr(Box& b, const std::string& name);
// Replaces to's attributes by from's: shared boxes, or clones of them.
void copy_var_attrs(Box& to, const Box& from, bool clone);
// Calls f for each attribute box of b (f must not use the attribute functions).
void for_each_var_attr(const Box& b, const std::function<void(const BoxRef&)>& f);
// Called when a flagged box is destroyed.
void drop_var_attrs(Box* b) noexcept;

}  // namespace chai
