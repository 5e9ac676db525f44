// Handles, the version and the last error.
#include <memory>

#include "api/Conversions.h"
#include "api/Frame.h"
#include "engine/gen3/Gen3LightEngine.h"

using namespace orvapi;
using namespace orvapi::api;

namespace {
constexpr const char* kApiVersion = "1.1.16";
}

extern "C" {

int32_t orv_createLightEngine(OrvHandle* handle) {
    if (handle == nullptr) return kDeviceFailure;
    return plainCall(kDeviceFailure, [&] {
        auto engine = std::make_unique<Gen3LightEngine>();
        engine->setLastError(0, std::string());
        *handle = engine.release();
        return kSuccess;
    });
}

int32_t orv_deleteLightEngine(OrvHandle handle) {
    // The virtual destructor closes whatever link the driver holds.
    std::unique_ptr<LightEngine> engine(engineOf(handle));
    return kSuccess;
}

int32_t orv_getAPIVersion(char* buffer, int32_t size) {
    return copyTextOut(kApiVersion, buffer, size) == 0 ? kSuccess : kTextDoesNotFit;
}

int32_t orv_getLastErrorCode(OrvHandle handle, int32_t* code) {
    if (handle == nullptr || code == nullptr) return kDeviceFailure;
    return plainCall(kDeviceFailure, [&] {
        *code = engineOf(handle)->getLastErrorCode();
        return kSuccess;
    });
}

int32_t orv_getLastErrorText(OrvHandle handle, char* buffer, int32_t size) {
    if (handle == nullptr) return kDeviceFailure;
    return plainCall(kDeviceFailure, [&] {
        return copyTextOut(engineOf(handle)->getLastErrorText(), buffer, size) == 0 ? kSuccess
                                                                                    : kTextDoesNotFit;
    });
}

int32_t orv_resetError(OrvHandle handle) {
    if (handle == nullptr) return kDeviceFailure;
    storeLastError(*engineOf(handle), 0, std::string());
    return kSuccess;
}

}  // extern "C"
