// Frames: the slots of a running function or program, on a stack of slot blocks that never move
// (a slot may be handed to a callee while the caller waits).
#pragma once
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "chai/runtime/program.hpp"

namespace chai {

// A variable declared by eval'd code into a frame (it has no slot there).
struct DynVar {
    std::string name;
    Value value;
    int level;  // block depth of the scope it belongs to
};

// The tree version whose code runs in a frame: functions it defines belong to it.
struct Running {
    const std::shared_ptr<Tree>* tree = nullptr;
    const ProgramRef* prog = nullptr;
};

struct Frame {
    int level() const { return site ? site->depth : 0; }
    Value* slots = nullptr;
    const FnInfo* info = nullptr;
    // Eval'd code: the frame it runs in, where names it does not declare are found.
    Frame* outer = nullptr;
    std::unique_ptr<std::deque<DynVar>> dyn;
    // The call running in this frame now: its depth is the frame's block depth while it runs
    // (eval'd code declares there).
    const Node* site = nullptr;
    bool file_level = false;  // a program's own code: top-level variables are visible
    bool eval_frame = false;  // code eval'd in another frame (see outer)
    uint32_t eval_nesting = 0;  // eval frames directly around this one (names are looked up through them)
    Running running;
};

class SlotStack {
public:
    SlotStack() = default;
    SlotStack(const SlotStack&) = delete;
    SlotStack& operator=(const SlotStack&) = delete;
    ~SlotStack();
    // n unset slots (slots not in use are always unset: pop clears them). None needs no test of
    // its own: it fits in any chunk, also in the empty one before the first (whose memory is null).
    Value* push(uint32_t n) {
        if (top_->used + n <= top_->size) {
            Value* s = top_->mem.get() + top_->used;
            top_->used += n;
            return s;
        }
        return push_slow(n);
    }
    // Releases the last n slots pushed (their values first).
    // (Popping none needs no test: a chunk past the first is empty only while its last frame is
    // popped, so the step back below cannot happen for none.)
    void pop(uint32_t n) {
        Chunk& c = *top_;
        c.used -= n;
        Value* s = c.mem.get() + c.used;
        for (uint32_t i = 0; i < n; ++i) s[i].clear_slot();
        if (c.used == 0 && cur_ > 0) top_ = &chunks_[--cur_];
    }

private:
    struct Chunk {
        std::unique_ptr<Value[]> mem;
        uint32_t size = 0, used = 0;
    };
    Value* push_slow(uint32_t n);
    std::vector<Chunk> chunks_;
    size_t cur_ = 0;
    // chunks_[cur_] once there is one, before that this stack's own empty chunk no push fits in:
    // what every push and pop looks at, without a test for null.
    Chunk none_;
    Chunk* top_ = &none_;
};

}  // namespace chai
