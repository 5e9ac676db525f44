// Creation of engines for older devices and the driver query.
// Placeholder until the legacy drivers land: no model is known yet.
#include "api/Frame.h"

using namespace orvapi::api;

extern "C" {

int32_t orv_createLegacyLightEngine(OrvHandle* handle, int32_t model) {
    (void)model;
    return handle == nullptr ? kDeviceFailure : kUnknownModel;
}

int32_t orv_createLegacyLightEngineByName(OrvHandle* handle, const char* model) {
    (void)handle;
    (void)model;
    return kDeviceFailure;
}

int32_t orv_getLegacy(OrvHandle handle, int32_t* legacy) {
    if (handle == nullptr || legacy == nullptr) return kDeviceFailure;
    *legacy = 0;
    return kSuccess;
}

}  // extern "C"
