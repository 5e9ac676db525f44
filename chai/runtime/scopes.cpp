// Entering and leaving frames and block scopes.
#include "chai/runtime/scopes.hpp"

namespace chai {

BlockScope::~BlockScope() {
    Frame& f = *in.frame();
    for (uint32_t s = node->slot; s < node->slot_end; ++s) f.slots[s] = Value::unset();
    if (f.dyn) in.trim_dyn(node->depth);
}

}  // namespace chai
