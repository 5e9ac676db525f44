// The evaluation stack on POSIX: memory mapped once per thread, entered with swapcontext.
#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <new>

#include "chai/stack/sanitizers.hpp"
#include "chai/stack/stack.hpp"

#ifdef CHAI_ASAN
extern "C" void __sanitizer_start_switch_fiber(void** fake_stack_save, const void* bottom, size_t size);
extern "C" void __sanitizer_finish_switch_fiber(void* fake_stack_save, const void** bottom_old, size_t* size_old);
#endif
#ifdef CHAI_TSAN
extern "C" void* __tsan_get_current_fiber();
extern "C" void* __tsan_create_fiber(unsigned flags);
extern "C" void __tsan_destroy_fiber(void* fiber);
extern "C" void __tsan_switch_to_fiber(void* fiber, unsigned flags);
#endif

namespace chai {

namespace {

#if defined(CHAI_ASAN)
// Frames are several times larger here, but an exception thrown deeper than 64 MiB below the
// stack's top is not followed by the unpoisoning of the frames it left.
constexpr size_t kStackSize = size_t(63) << 20;
#elif defined(CHAI_TSAN)
// The thread sanitizer follows at most 64Ki nested C++ calls: this stack ends script recursion
// (about 3,000 calls deep) before that.
constexpr size_t kStackSize = size_t(6) << 20;
#else
constexpr size_t kStackSize = size_t(64) << 20;
#endif
// What a trim leaves in place: enough for ordinary evaluations.
constexpr size_t kKept = 1 << 20;

thread_local uintptr_t t_limit = 0;

struct EngineStack {
    char* base = nullptr;  // lowest address; the first page is a guard
    ~EngineStack() {
        // Not while running on it (a script's host function ended the process from there).
        if (base && !t_limit) munmap(base, kStackSize);
    }
};

struct Switch {
    void (*fn)(void*);
    void* arg;
    ucontext_t caller;
#ifdef CHAI_ASAN
    const void* caller_bottom = nullptr;
    size_t caller_size = 0;
#endif
#ifdef CHAI_TSAN
    void* caller_fiber = nullptr;
#endif
};

thread_local EngineStack t_stack;
thread_local Switch* t_switch = nullptr;

#ifdef CHAI_TSAN
// Not instrumented: its return happens after the switch back to the caller's fiber, where the
// sanitizer would take it for the end of one of the caller's functions.
__attribute__((no_sanitize("thread")))
#endif
void entry() {
    Switch& s = *t_switch;
#ifdef CHAI_ASAN
    __sanitizer_finish_switch_fiber(nullptr, &s.caller_bottom, &s.caller_size);
#endif
    s.fn(s.arg);
#ifdef CHAI_ASAN
    __sanitizer_start_switch_fiber(nullptr, s.caller_bottom, s.caller_size);
#endif
#ifdef CHAI_TSAN
    __tsan_switch_to_fiber(s.caller_fiber, 0);
#endif
    // Returning resumes the caller (uc_link).
}

}  // namespace

uintptr_t engine_stack_limit() { return t_limit; }

void switch_to_engine_stack(void (*fn)(void*), void* arg) {
    if (!t_stack.base) {
        void* p = mmap(nullptr, kStackSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (p == MAP_FAILED) throw std::bad_alloc();
        t_stack.base = static_cast<char*>(p);
        mprotect(t_stack.base, static_cast<size_t>(sysconf(_SC_PAGESIZE)), PROT_NONE);
    }
    Switch s{fn, arg, {}};
    ucontext_t fiber;
    getcontext(&fiber);
    fiber.uc_stack.ss_sp = t_stack.base;
    fiber.uc_stack.ss_size = kStackSize;
    fiber.uc_link = &s.caller;
    makecontext(&fiber, entry, 0);
    t_switch = &s;
    t_limit = reinterpret_cast<uintptr_t>(t_stack.base) + kStackReserve;
#ifdef CHAI_TSAN
    s.caller_fiber = __tsan_get_current_fiber();
    void* tsan_fiber = __tsan_create_fiber(0);
    __tsan_switch_to_fiber(tsan_fiber, 0);
#endif
#ifdef CHAI_ASAN
    void* fake_stack = nullptr;
    __sanitizer_start_switch_fiber(&fake_stack, t_stack.base, kStackSize);
#endif
    swapcontext(&s.caller, &fiber);
#ifdef CHAI_ASAN
    __sanitizer_finish_switch_fiber(fake_stack, nullptr, nullptr);
#endif
#ifdef CHAI_TSAN
    __tsan_destroy_fiber(tsan_fiber);
#endif
    t_limit = 0;
    t_switch = nullptr;
}

void trim_engine_stack() {
    if (t_stack.base) madvise(t_stack.base, kStackSize - kKept, MADV_DONTNEED);
}

}  // namespace chai
