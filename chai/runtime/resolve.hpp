// The resolve step: before a program first runs, every name in it is bound once. Local variables
// get slots in their function's frame (parameters that are only read are marked so calls need no
// reference to the caller's variable), captures are listed, other names point at the engine's
// record of the name (so globals and functions defined later, by eval or a later def, are found
// without a search), literals get their values and call sites a cache. From then on the tree is
// only read.
#pragma once
#include "chai/runtime/program.hpp"

namespace chai {

// Resolves p's top-level code in the given mode and every function body in it.
void resolve_program(Program& p, Mode mode);

}  // namespace chai
