// Which sanitizer this build runs under, for the few places that must act differently there:
// CHAI_ASAN / CHAI_TSAN as macros (for declarations) and as constants (for code).
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#define CHAI_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CHAI_ASAN 1
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define CHAI_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define CHAI_TSAN 1
#endif
#endif

namespace chai {
#ifdef CHAI_ASAN
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
}  // namespace chai
