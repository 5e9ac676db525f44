#pragma once
// The frames every export runs in: clear the handle's last error, run one engine operation,
// turn whatever it throws into a stored last error and a result code. No exception leaves.
#include <string>
#include <utility>

#include "api/ResultCodes.h"
#include "api/photarc.h"
#include "engine/LightEngine.h"
#include "link/Failure.h"

namespace orvapi::api {

inline LightEngine* engineOf(OrvHandle handle) {
    return static_cast<LightEngine*>(handle);
}

// Stores a last error without letting a failure of the store itself escape.
inline void storeLastError(LightEngine& engine, int code, const std::string& text) noexcept {
    try {
        engine.setLastError(code, text);
    } catch (...) {
    }
}

// The one frame: clears the last error, runs the body, and on failure stores
// storedCode(the failure's own code, -1 when it has none) with the failure's text.
template <class StoredCode, class Body>
int32_t framedCall(OrvHandle handle, int32_t failureResult, StoredCode storedCode, Body&& body) noexcept {
    LightEngine* engine = engineOf(handle);
    if (engine == nullptr) return failureResult;
    storeLastError(*engine, 0, std::string());
    try {
        body(*engine);
        return kSuccess;
    } catch (...) {
        const Failure failure = currentFailure();
        storeLastError(*engine, storedCode(failure.code), failure.text);
    }
    return failureResult;
}

// Device family: the failure's own code and text; 11001.
template <class Body>
int32_t deviceFrame(OrvHandle handle, Body&& body) noexcept {
    return framedCall(
        handle, kDeviceFailure, [](int code) { return code; }, std::forward<Body>(body));
}

// Connection family: whatever failed, the stored code equals the result, 11004.
template <class Body>
int32_t connectionFrame(OrvHandle handle, Body&& body) noexcept {
    return framedCall(
        handle, kConnectionFailure, [](int) { return kConnectionFailure; }, std::forward<Body>(body));
}

// No frame: no last error is touched; only a crash-proof shell with the given failure result.
template <class Body>
int32_t plainCall(int32_t failureResult, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return failureResult;
    }
}

}  // namespace orvapi::api
