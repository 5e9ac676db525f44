#include "chai/runtime/frame.hpp"

#include <algorithm>

namespace chai {

SlotStack::~SlotStack() = default;

Value* SlotStack::push_slow(uint32_t n) {
    if (cur_ < chunks_.size() && chunks_[cur_].used > 0) ++cur_;  // too full: the next chunk
    if (cur_ == chunks_.size()) chunks_.emplace_back();
    Chunk& c = chunks_[cur_];
    top_ = &c;  // also after the vector moved its chunks
    if (c.size < n) {
        // Small at first (most engines run short scripts), then growing to full-size chunks.
        const uint32_t grown = cur_ == 0 ? 64 : std::min<uint32_t>(chunks_[cur_ - 1].size * 4, 1024);
        c.size = std::max<uint32_t>(n, grown);
        c.mem = std::make_unique<Value[]>(c.size);
        std::fill(c.mem.get(), c.mem.get() + c.size, Value::unset());
    }
    return push(n);
}

}  // namespace chai
