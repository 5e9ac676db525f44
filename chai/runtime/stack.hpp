// Evaluation runs on a stack the engine owns (one per thread, made on first use), so how deep
// scripts may recurse does not depend on the stack of the thread that calls the engine. The
// operating-system side is one small function per platform (platform/stack_*.cpp).
#pragma once
#include <cstdint>

namespace chai {

// Lowest address evaluation may use on the current stack: below it, the depth is exceeded.
// 0 while the thread is not on its evaluation stack.
uintptr_t engine_stack_limit();

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

}  // namespace chai
