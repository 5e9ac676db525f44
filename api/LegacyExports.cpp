// Creation of engines for devices that do not speak the text protocol, and the driver query.
// None of these runs the device frame: they return their result directly and leave the last
// error alone.
#include <memory>

#include "api/Conversions.h"
#include "api/Frame.h"
#include "engine/ModelTables.h"
#include "engine/tovra3/Tovra3LightEngine.h"
#include "legacy/LegacyLightEngine.h"

using namespace orvapi;
using namespace orvapi::api;

namespace {

// The TOVRA3 has a driver of its own; every other name, known or not, is a legacy model
// whose name is checked when it connects.
std::unique_ptr<LightEngine> makeOlderEngine(const std::string& model) {
    if (model == "TOVRA3") return std::make_unique<Tovra3LightEngine>();
    return std::make_unique<LegacyLightEngine>(model);
}

}  // namespace

extern "C" {

int32_t orv_createLegacyLightEngine(OrvHandle* handle, int32_t model) {
    if (handle == nullptr) return kDeviceFailure;
    return plainCall(kDeviceFailure, [&] {
        const auto entry = modelNumberTable.find(model);
        if (entry == modelNumberTable.end()) return kUnknownModel;
        *handle = makeOlderEngine(entry->second).release();
        return kSuccess;
    });
}

int32_t orv_createLegacyLightEngineByName(OrvHandle* handle, const char* model) {
    if (handle == nullptr || model == nullptr) return kDeviceFailure;
    return plainCall(kDeviceFailure, [&] {
        *handle = makeOlderEngine(textIn(model)).release();
        return kSuccess;
    });
}

int32_t orv_getLegacy(OrvHandle handle, int32_t* legacy) {
    if (handle == nullptr || legacy == nullptr) return kDeviceFailure;
    switch (engineOf(handle)->driverFamily()) {
    case DriverFamily::LegacyProtocol:
        *legacy = 1;
        return kSuccess;
    case DriverFamily::TextProtocol:
        *legacy = 0;
        return kSuccess;
    case DriverFamily::Tovra3:
        break;
    }
    return kUnknownDriver;
}

}  // extern "C"
