// The evaluation stack on Windows: one fiber per thread, entered with SwitchToFiber.
#include <windows.h>

#include <cstdint>
#include <new>

#include "chai/stack/stack.hpp"

namespace chai {

namespace {

constexpr SIZE_T kStackSize = SIZE_T(64) << 20;

struct Task {
    void (*fn)(void*) = nullptr;
    void* arg = nullptr;
    void* caller = nullptr;
};

thread_local uintptr_t t_limit = 0;  // 0 while not on the fiber
thread_local Task t_task;
thread_local uintptr_t t_low = 0;  // the fiber stack's lowest address

void* current_fiber() {
#if defined(__GNUC__)
#pragma GCC diagnostic push
// GetCurrentFiber reads the thread block through an intrinsic that GCC takes for an empty array.
#pragma GCC diagnostic ignored "-Warray-bounds"
#endif
    return GetCurrentFiber();
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
}

// A thread's engine fiber is kept in fiber-local storage, whose callback deletes it when the
// thread (or a host's own fiber) ends. Not in a thread_local with a destructor: MinGW frees a
// thread's thread_local storage before it runs their destructors.
void WINAPI delete_engine_fiber(void* fiber) {
    // Not while running on it (a script's host function ended the process from there):
    // deleting the running fiber ends the thread.
    if (fiber && fiber != current_fiber()) DeleteFiber(fiber);
}

struct FiberSlot {
    DWORD index = FlsAlloc(delete_engine_fiber);
    // The library may be unloaded before the threads that used it end.
    ~FiberSlot() {
        if (index != FLS_OUT_OF_INDEXES) FlsFree(index);
    }
};
const FiberSlot g_slot;

void WINAPI fiber_main(void*) {
    char top = 0;
    t_low = reinterpret_cast<uintptr_t>(&top) - kStackSize;
    for (;;) {
        t_limit = t_low + kStackReserve;
        t_task.fn(t_task.arg);
        SwitchToFiber(t_task.caller);
    }
}

}  // namespace

uintptr_t engine_stack_limit() { return t_limit; }

void switch_to_engine_stack(void (*fn)(void*), void* arg) {
    if (g_slot.index == FLS_OUT_OF_INDEXES) throw std::bad_alloc();
    const bool converted = !IsThreadAFiber();
    void* caller = converted ? ConvertThreadToFiber(nullptr) : current_fiber();
    if (!caller) throw std::bad_alloc();
    void* fiber = FlsGetValue(g_slot.index);
    if (!fiber) {
        fiber = CreateFiberEx(64 * 1024, kStackSize, FIBER_FLAG_FLOAT_SWITCH, fiber_main, nullptr);
        if (fiber && !FlsSetValue(g_slot.index, fiber)) {
            DeleteFiber(fiber);
            fiber = nullptr;
        }
    }
    if (!fiber) {
        if (converted) ConvertFiberToThread();
        throw std::bad_alloc();
    }
    t_task = Task{fn, arg, caller};
    SwitchToFiber(fiber);
    t_limit = 0;
    if (converted) ConvertFiberToThread();
}

void trim_engine_stack() {
    // A fiber's stack cannot be shrunk in place: the next evaluation starts a fresh one.
    if (t_limit || g_slot.index == FLS_OUT_OF_INDEXES) return;
    if (void* fiber = FlsGetValue(g_slot.index)) {
        FlsSetValue(g_slot.index, nullptr);
        DeleteFiber(fiber);
    }
}

}  // namespace chai
