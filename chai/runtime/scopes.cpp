// Entering and leaving frames and block scopes.
#include "chai/runtime/scopes.hpp"

namespace chai {

FrameScope::FrameScope(Interp& i, const FnInfo* info, Frame* outer, bool file_level, bool eval_frame)
    : in(i), saved(i.frame_) {
    frame.info = info;
    frame.slots = in.slots_.push(info->nslots);
    frame.outer = outer;
    frame.file_level = file_level;
    frame.eval_frame = eval_frame;
    in.frame_ = &frame;
}

FrameScope::~FrameScope() {
    in.slots_.pop(frame.info->nslots);
    in.frame_ = saved;
}

BlockScope::~BlockScope() {
    Frame& f = *in.frame();
    for (uint32_t s = node->slot; s < node->slot_end; ++s) f.slots[s] = Value::unset();
    if (f.dyn) in.trim_dyn(node->depth);
}

}  // namespace chai
