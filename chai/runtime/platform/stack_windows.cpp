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

struct EngineFiber {
    void* fiber = nullptr;
    ~EngineFiber() {
        if (fiber) DeleteFiber(fiber);
    }
};

thread_local EngineFiber t_fiber;
thread_local Task t_task;
thread_local uintptr_t t_limit = 0;
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

void run_on_engine_stack(void (*fn)(void*), void* arg) {
    if (t_limit) {
        fn(arg);
        return;
    }
    const bool converted = !IsThreadAFiber();
    void* caller = converted ? ConvertThreadToFiber(nullptr) : GetCurrentFiber();
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
