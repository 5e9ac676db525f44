// The evaluation stack on Windows: one fiber per thread, entered with SwitchToFiber.
#include <windows.h>

#include <cstdint>
#include <new>

#include "chai/runtime/stack.hpp"

namespace chai {

namespace {

constexpr SIZE_T kStackSize = SIZE_T(64) << 20;
// Room kept for host and library functions called at the deepest level.
constexpr uintptr_t kMargin = 256 * 1024;

struct Task {
    void (*fn)(void*) = nullptr;
    void* arg = nullptr;
    void* caller = nullptr;
};

thread_local uintptr_t t_limit = 0;  // 0 while not on the fiber

struct EngineFiber {
    void* fiber = nullptr;
    ~EngineFiber() {
        // Not while running on it (a script's host function ended the process from there):
        // deleting the running fiber ends the thread.
        if (fiber && !t_limit) DeleteFiber(fiber);
    }
};

thread_local EngineFiber t_fiber;
thread_local Task t_task;
thread_local uintptr_t t_low = 0;  // the fiber stack's lowest address

void WINAPI fiber_main(void*) {
    char top = 0;
    t_low = reinterpret_cast<uintptr_t>(&top) - kStackSize;
    for (;;) {
        t_limit = t_low + kMargin;
        t_task.fn(t_task.arg);
        SwitchToFiber(t_task.caller);
    }
}

}  // namespace

uintptr_t engine_stack_limit() { return t_limit; }

void switch_to_engine_stack(void (*fn)(void*), void* arg) {
    const bool converted = !IsThreadAFiber();
#if defined(__GNUC__)
#pragma GCC diagnostic push
// GetCurrentFiber reads the thread block through an intrinsic that GCC takes for an empty array.
#pragma GCC diagnostic ignored "-Warray-bounds"
#endif
    void* caller = converted ? ConvertThreadToFiber(nullptr) : GetCurrentFiber();
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
    if (!caller) throw std::bad_alloc();
    if (!t_fiber.fiber) t_fiber.fiber = CreateFiberEx(64 * 1024, kStackSize, FIBER_FLAG_FLOAT_SWITCH, fiber_main, nullptr);
    if (!t_fiber.fiber) {
        if (converted) ConvertFiberToThread();
        throw std::bad_alloc();
    }
    t_task = Task{fn, arg, caller};
    SwitchToFiber(t_fiber.fiber);
    t_limit = 0;
    if (converted) ConvertFiberToThread();
}

void trim_engine_stack() {
    // A fiber's stack cannot be shrunk in place: the next evaluation starts a fresh one.
    if (t_fiber.fiber && !t_limit) {
        DeleteFiber(t_fiber.fiber);
        t_fiber.fiber = nullptr;
    }
}

}  // namespace chai
