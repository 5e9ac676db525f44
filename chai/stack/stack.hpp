// Evaluation runs on a stack the engine owns (one per thread, made on first use), so how deep
// scripts may recurse does not depend on the stack of the thread that calls the engine. The
// operating-system side is one small file per platform (stack_posix.cpp, stack_windows.cpp).
// Below the parser, the resolver and the evaluator alike: every recursive pass checks it.
#pragma once
#include <cstddef>
#include <cstdint>

namespace chai {

// Lowest address evaluation may use on the current stack: below it, the depth is exceeded.
// 0 while the thread is not on its evaluation stack.
uintptr_t engine_stack_limit();
// Room kept below that limit for what runs at the deepest level: host and library functions,
// and throwing and reporting the error that ends a pass there.
constexpr size_t kStackReserve = 256 * 1024;

// Runs fn(arg) on this thread's evaluation stack, which the thread is not on yet. fn must not throw.
void switch_to_engine_stack(void (*fn)(void*), void* arg);

// Runs fn(arg) on this thread's evaluation stack; directly when already on it (an engine's host
// function running another engine).
inline void run_on_engine_stack(void (*fn)(void*), void* arg) {
    if (engine_stack_limit()) fn(arg);
    else switch_to_engine_stack(fn, arg);
}

// Called after an evaluation that went deep: gives the stack's unused memory back.
void trim_engine_stack();

// What every recursive pass (parser, resolver, evaluator, printing, comparison) reports when the
// stack is too near its end for another level.
inline constexpr char kDepthExceeded[] = "Call stack depth exceeded";

// Whether the caller runs below that address (the stack grows down).
inline bool stack_below(uintptr_t limit) {
    char probe = 0;
    return reinterpret_cast<uintptr_t>(&probe) < limit;
}
// Whether the stack is too near its end for another level of a recursive pass. Only evaluation
// stacks are watched: elsewhere the passes' own nesting limits keep them small.
inline bool stack_exhausted() { return stack_below(engine_stack_limit()); }
// For the text of an error raised at the limit (the code its trace shows), which may use half
// the room kept below it.
inline bool stack_nearly_gone() {
    const uintptr_t limit = engine_stack_limit();
    return limit && stack_below(limit - kStackReserve / 2);
}

}  // namespace chai
