// Power readings, power lock and reference, TTL triggering.
#include <cstdlib>

#include "api/Conversions.h"
#include "api/Frame.h"

using namespace orvapi;
using namespace orvapi::api;

extern "C" {

int32_t orv_getPowerLock(OrvHandle handle, int32_t* locked) {
    return deviceFrame(handle, [&](LightEngine& engine) {
        valueOut(locked, [&] { return flagOut(engine.getPowerLock()); });
    });
}

int32_t orv_setPowerLock(OrvHandle handle, int32_t lock) {
    return deviceFrame(handle, [&](LightEngine& engine) { engine.setPowerLock(flagIn(lock)); });
}

int32_t orv_getChannelPowerCount(OrvHandle handle, int32_t channel, int32_t* counts) {
    return deviceFrame(handle, [&](LightEngine& engine) {
        valueOut(counts, [&] { return engine.getChannelPowerCount(channel); });
    });
}

int32_t orv_getChannelPowerMW(OrvHandle handle, int32_t channel, double* milliwatts) {
    return deviceFrame(handle, [&](LightEngine& engine) {
        valueOut(milliwatts, [&] { return engine.getChannelPowerMW(channel); });
    });
}

int32_t orv_setPowerReference(OrvHandle handle, const int32_t* reference, int32_t count) {
    return deviceFrame(handle,
                       [&](LightEngine& engine) { engine.setPowerReference(intArrayIn(reference, count)); });
}

int32_t orv_getPowerReference(OrvHandle handle, int32_t** reference, int32_t* count) {
    return deviceFrame(handle, [&](LightEngine& engine) {
        requireArgument(reference);
        requireArgument(count);
        const std::vector<int> values = engine.getPowerReference();
        *reference = mallocArrayOut(values);
        *count = static_cast<int32_t>(values.size());
    });
}

int32_t orv_getSupplyPowerW(OrvHandle handle, double* watts) {
    return deviceFrame(
        handle, [&](LightEngine& engine) { valueOut(watts, [&] { return engine.getSupplyPowerW(); }); });
}

int32_t orv_setTTLEnable(OrvHandle handle, int32_t enable) {
    return deviceFrame(handle, [&](LightEngine& engine) { engine.setTTLEnable(flagIn(enable)); });
}

int32_t orv_getTTLEnable(OrvHandle handle, int32_t* enabled) {
    return deviceFrame(handle, [&](LightEngine& engine) {
        valueOut(enabled, [&] { return flagOut(engine.getTTLEnable()); });
    });
}

int32_t orv_setTTLPolarity(OrvHandle handle, int32_t positive) {
    return deviceFrame(handle, [&](LightEngine& engine) { engine.setTTLPolarity(flagIn(positive)); });
}

int32_t orv_getTTLPolarity(OrvHandle handle, int32_t* positive) {
    return deviceFrame(handle, [&](LightEngine& engine) {
        valueOut(positive, [&] { return flagOut(engine.getTTLPolarity()); });
    });
}

}  // extern "C"
