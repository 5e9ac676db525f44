// Plain calls of functions whose body opens with a lone `if (c) { return e }`. Compiled apart:
// the condition's evaluation inlined here would change how the other shapes are compiled.
#include "chai/runtime/script_call.hpp"

namespace chai {

template Value Interp::run_script<CallShape::PlainDropped, true>(const ScriptFn&, Args, const Value*);

}  // namespace chai
