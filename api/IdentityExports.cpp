// Identity, readings and the channel map.
#include "api/Conversions.h"
#include "api/Frame.h"

using namespace orvapi;
using namespace orvapi::api;

extern "C" {

int32_t orv_getModel(OrvHandle handle, char* buffer, int32_t size) {
    return deviceFrame(handle, [&](LightEngine& engine) { textOut(engine.getModel(), buffer, size); });
}

int32_t orv_getSerialNumber(OrvHandle handle, char* buffer, int32_t size) {
    return deviceFrame(handle, [&](LightEngine& engine) { textOut(engine.getSerialNumber(), buffer, size); });
}

int32_t orv_getVersion(OrvHandle handle, char* buffer, int32_t size) {
    return deviceFrame(handle, [&](LightEngine& engine) { textOut(engine.getVersion(), buffer, size); });
}

int32_t orv_getIP(OrvHandle handle, char* buffer, int32_t size) {
    return deviceFrame(handle, [&](LightEngine& engine) { textOut(engine.getIP(), buffer, size); });
}

int32_t orv_setIP(OrvHandle handle, const char* address) {
    return deviceFrame(handle, [&](LightEngine& engine) { engine.setIP(textIn(address)); });
}

int32_t orv_getTemperature(OrvHandle handle, double* temperature) {
    return deviceFrame(
        handle, [&](LightEngine& engine) { valueOut(temperature, [&] { return engine.getTemperature(); }); });
}

int32_t orv_getStatusCode(OrvHandle handle, int32_t* status) {
    return deviceFrame(
        handle, [&](LightEngine& engine) { valueOut(status, [&] { return engine.getStatusCode(); }); });
}

int32_t orv_getMaximumIntensity(OrvHandle handle, int32_t* maximum) {
    return deviceFrame(handle, [&](LightEngine& engine) {
        valueOut(maximum, [&] { return engine.getMaximumIntensity(); });
    });
}

int32_t orv_getNumberOfChannels(OrvHandle handle, int32_t* count) {
    return deviceFrame(
        handle, [&](LightEngine& engine) { valueOut(count, [&] { return engine.getNumberOfChannels(); }); });
}

int32_t orv_getChannelName(OrvHandle handle, int32_t channel, char* buffer, int32_t size) {
    return deviceFrame(handle,
                       [&](LightEngine& engine) { textOut(engine.getChannelName(channel), buffer, size); });
}

int32_t orv_getChannelIndex(OrvHandle handle, const char* name, int32_t* channel) {
    return deviceFrame(handle, [&](LightEngine& engine) {
        const std::string text = textIn(name);
        requireArgument(channel);
        *channel = engine.getChannelIndex(text);
    });
}

}  // extern "C"
