// Scopes the evaluator opens while it runs: a function's frame and a block's variables.
#pragma once
#include <utility>

#include "chai/runtime/interp.hpp"

namespace chai {

// A block's scope: its variables' slots are cleared when it is left, and so are the variables
// eval'd code declared in it.
struct BlockScope {
    BlockScope(Interp& i, const Node* n) : in(i), node(n) {}
    ~BlockScope() {
        Frame& f = *in.frame();
        for (uint32_t s = node->slot; s < node->slot_end; ++s) f.slots[s] = Value::unset();
        if (f.dyn) in.trim_dyn(node->depth);
    }
    BlockScope(const BlockScope&) = delete;
    BlockScope& operator=(const BlockScope&) = delete;
    Interp& in;
    const Node* node;
};

// A frame for a function call or a program run; frames live on the C++ stack.
struct FrameScope {
    FrameScope(Interp& i, const FnInfo* info, Running running, Frame* outer, bool file_level, bool eval_frame)
        : in(i), saved(i.frame_) {
        frame.info = info;
        frame.running = running;
        frame.slots = in.slots_.push(info->nslots);
        frame.outer = outer;
        frame.file_level = file_level;
        frame.eval_frame = eval_frame;
        in.frame_ = &frame;
    }
    // Inline always: every script call leaves a frame, and a call out to leave it costs more than it.
    [[gnu::always_inline]] ~FrameScope() {
        in.slots_.pop(frame.info->nslots);
        in.frame_ = saved;
    }
    FrameScope(const FrameScope&) = delete;
    FrameScope& operator=(const FrameScope&) = delete;
    Interp& in;
    Frame frame;
    Frame* saved;
};

}  // namespace chai
