// A character of a string held by reference (var &c = s[i], ++s[i], f(s[i]), for_each over a
// string): a char box whose in-place changes are written back to the string. Few boxes are such references, so the link lives in
// a side table and the box only carries a flag.
// Host references to numbers, bools and strings (a data member read as obj.n) link the same way,
// with a writer that stores the box's value back into the C++ object.
#pragma once
#include <functional>

#include "chai/runtime/value.hpp"

namespace chai {

// A char box linked to str[index]; index must be inside the string.
BoxRef make_char_ref(const BoxRef& str, size_t index);
// Links value (a fresh copy of a host number, bool or string) to the C++ object it was read from.
BoxRef make_host_ref(BoxRef value, std::function<void(const Box&)> write);
// Stores b's (changed) value back into its string; a string that has since shrunk is left alone.
void write_back_char(const Box& b);
// Called when a flagged box is destroyed.
void drop_char_ref(Box* b) noexcept;

}  // namespace chai
