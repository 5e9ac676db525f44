// Making and freeing nodes and their children's arrays: compiled for speed (a host may run a
// script per call, and the rest of the tree's code is compiled for size).
#include <memory>
#include <new>

#include "chai/stack/sanitizers.hpp"
#include "chai/syntax/tree.hpp"

namespace chai {

// Nodes are all of one size, and their children's arrays of a few, and the allocator takes a
// slow path when many blocks of one size are freed in a row, as when a tree goes. Freed blocks
// wait in small stores for the next tree instead, one set per thread so that keeping and taking
// need no lock. A thread's stores are emptied when it ends; after that (trees held by static
// objects may go after them at exit) blocks go straight back to the allocator. Under the address
// sanitizer the stores stay off, so that memory used after it went is still reported.
namespace {
constexpr bool kKeepBlocks = !kAddressSanitizer;

// Freed blocks of one size.
template <size_t Capacity> struct BlockStore {
    void* take() { return count_ > 0 ? blocks_[--count_] : nullptr; }
    bool keep(void* p) {
        if (count_ == Capacity) return false;
        blocks_[count_++] = p;
        return true;
    }
    ~BlockStore() {
        while (count_ > 0) ::operator delete(blocks_[--count_]);
    }

    void* blocks_[Capacity] = {};
    size_t count_ = 0;
};

constexpr size_t kKeptKidsMost = 8;  // children arrays of up to this many are kept
struct ThreadStores {
    BlockStore<128> nodes;               // about 28 KB
    BlockStore<64> kids[kKeptKidsMost];  // by length - 1
};
// Null until the thread first keeps a block, and again once the thread is ending. Both are
// trivially destroyed, so they can still be asked after the stores went.
thread_local ThreadStores* stores = nullptr;
thread_local bool thread_ending = false;

// Owns the thread's stores, and empties them as the thread ends.
struct StoresOwner {
    std::unique_ptr<ThreadStores> held = std::make_unique<ThreadStores>();
    ~StoresOwner() {
        stores = nullptr;
        thread_ending = true;
    }
};

// The thread's stores when it first keeps a block; null once the thread is ending.
ThreadStores* first_stores() noexcept {
    if (thread_ending) return nullptr;
    try {
        thread_local StoresOwner owner;
        return stores = owner.held.get();
    } catch (const std::bad_alloc&) {
        return nullptr;  // the blocks go back to the allocator instead
    }
}
ThreadStores* stores_to_keep() { return stores ? stores : first_stores(); }

BlockStore<64>* kids_store(ThreadStores* s, size_t bytes) {
    const size_t n = bytes / sizeof(NodePtr);
    return kKeepBlocks && s && n >= 1 && n <= kKeptKidsMost ? &s->kids[n - 1] : nullptr;
}

}  // namespace

Node::~Node() {
    for (NodePtr& k : kids) k.reset();
}

void* Node::operator new(size_t size) {
    if (kKeepBlocks && size == sizeof(Node) && stores)
        if (void* p = stores->nodes.take()) return p;
    return ::operator new(size);
}

void Node::operator delete(void* p) noexcept {
    if (kKeepBlocks && p)
        if (ThreadStores* s = stores_to_keep(); s && s->nodes.keep(p)) return;
    ::operator delete(p);
}

void* take_kids_room(size_t bytes) {
    if (BlockStore<64>* store = kids_store(stores, bytes))
        if (void* p = store->take()) return p;
    return ::operator new(bytes);
}

void give_kids_room(void* p, size_t bytes) noexcept {
    ThreadStores* s = kKeepBlocks ? stores_to_keep() : nullptr;
    if (BlockStore<64>* store = kids_store(s, bytes); store && store->keep(p)) return;
    ::operator delete(p);
}

}  // namespace chai
