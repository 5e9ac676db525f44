// Channels and intensities.
#include "api/Conversions.h"
#include "api/Frame.h"

using namespace orvapi;
using namespace orvapi::api;

extern "C" {

int32_t orv_setChannel(OrvHandle handle, int32_t channel, int32_t on) {
    return deviceFrame(handle, [&](LightEngine& engine) { engine.setChannel(channel, flagIn(on)); });
}

int32_t orv_getChannel(OrvHandle handle, int32_t channel, int32_t* on) {
    return deviceFrame(handle, [&](LightEngine& engine) {
        valueOut(on, [&] { return flagOut(engine.getChannel(channel)); });
    });
}

int32_t orv_setMultipleChannels(OrvHandle handle, const int32_t* on, int32_t count) {
    return deviceFrame(handle,
                       [&](LightEngine& engine) { engine.setMultipleChannels(flagArrayIn(on, count)); });
}

int32_t orv_getMultipleChannels(OrvHandle handle, int32_t* on, int32_t count) {
    return deviceFrame(handle,
                       [&](LightEngine& engine) { flagArrayOut(engine.getMultipleChannels(), on, count); });
}

int32_t orv_setIntensity(OrvHandle handle, int32_t channel, int32_t intensity) {
    return deviceFrame(handle, [&](LightEngine& engine) { engine.setIntensity(channel, intensity); });
}

int32_t orv_getIntensity(OrvHandle handle, int32_t channel, int32_t* intensity) {
    return deviceFrame(handle, [&](LightEngine& engine) {
        valueOut(intensity, [&] { return engine.getIntensity(channel); });
    });
}

int32_t orv_setMultipleIntensities(OrvHandle handle, const int32_t* intensities, int32_t count) {
    return deviceFrame(
        handle, [&](LightEngine& engine) { engine.setMultipleIntensities(intArrayIn(intensities, count)); });
}

int32_t orv_getMultipleIntensities(OrvHandle handle, int32_t* intensities, int32_t count) {
    return deviceFrame(handle, [&](LightEngine& engine) {
        intArrayOut(engine.getMultipleIntensities(), intensities, count);
    });
}

}  // extern "C"
