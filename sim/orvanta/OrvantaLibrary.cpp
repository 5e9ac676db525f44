// The four closed-library functions and the test hooks: every call is recorded, then handed
// to the simulated devices. One lock covers both, so the record keeps the order of arrival.
#include <mutex>
#include <string>
#include <vector>

#include "SimulatedDevices.h"
#include "legacy/OrvantaApi.h"
#include "sim/orvanta/OrvantaTestHooks.h"

namespace {

struct Library {
    std::mutex mutex;
    ovsim::SimulatedDevices devices;
    std::vector<std::string> calls;
};

Library& library() {
    static Library instance;
    return instance;
}

std::string quoted(const char* text) { return text == nullptr ? "NULL" : '"' + std::string(text) + '"'; }
std::string textOf(const char* text) { return text == nullptr ? std::string() : std::string(text); }
uintptr_t handleValue(OvDeviceHandle device) { return reinterpret_cast<uintptr_t>(device); }

// Runs one call under the lock; nothing may escape a C function, so any failure gives `failed`.
template <class Result, class Body>
Result locked(Result failed, Body&& body) noexcept {
    try {
        Library& state = library();
        std::lock_guard<std::mutex> guard(state.mutex);
        return body(state);
    } catch (...) {
        return failed;
    }
}

}  // namespace

extern "C" {

OvDeviceHandle ovInit(int32_t port, const char* model) {
    return locked<OvDeviceHandle>(nullptr, [&](Library& state) {
        const uintptr_t handle = state.devices.open(port, textOf(model));
        state.calls.push_back("ovInit(" + std::to_string(port) + ", " + quoted(model) + ") = " + std::to_string(handle));
        return reinterpret_cast<OvDeviceHandle>(handle);
    });
}

int32_t ovColorEnable(const char* color, const char* state) {
    return locked<int32_t>(0, [&](Library& lib) {
        lib.calls.push_back("ovColorEnable(" + quoted(color) + ", " + quoted(state) + ")");
        return lib.devices.enable(textOf(state)) ? 1 : 0;
    });
}

int32_t ovColorLevel(const char* color, const char* level) {
    return locked<int32_t>(0, [&](Library& lib) {
        lib.calls.push_back("ovColorLevel(" + quoted(color) + ", " + quoted(level) + ")");
        return lib.devices.level(textOf(level)) ? 1 : 0;
    });
}

int32_t ovShutDown(OvDeviceHandle device) {
    return locked<int32_t>(0, [&](Library& lib) {
        lib.calls.push_back("ovShutDown(" + std::to_string(handleValue(device)) + ")");
        return lib.devices.close(handleValue(device)) ? 1 : 0;
    });
}

int32_t ovsimCallCount(void) {
    return locked<int32_t>(0, [](Library& lib) { return static_cast<int32_t>(lib.calls.size()); });
}

int32_t ovsimCall(int32_t index, char* buffer, int32_t size) {
    return locked<int32_t>(-1, [&](Library& lib) {
        if (index < 0 || static_cast<size_t>(index) >= lib.calls.size() || buffer == nullptr) return -1;
        const std::string& call = lib.calls[static_cast<size_t>(index)];
        if (size <= 0 || call.size() >= static_cast<size_t>(size)) return -1;
        call.copy(buffer, call.size());
        buffer[call.size()] = '\0';
        return static_cast<int32_t>(call.size());
    });
}

void ovsimReset(void) {
    locked<int>(0, [](Library& lib) {
        lib.calls.clear();
        lib.devices.closeAll();
        return 0;
    });
}

}  // extern "C"
