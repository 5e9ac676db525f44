// Opening and closing the link, raw commands and device control.
#include "api/Conversions.h"
#include "api/Frame.h"

using namespace orvapi;
using namespace orvapi::api;

extern "C" {

int32_t orv_connectCOM(OrvHandle handle, const char* port, uint32_t baudRate) {
    return connectionFrame(handle, [&](LightEngine& engine) { engine.connectCOM(textIn(port), baudRate); });
}

int32_t orv_connectTCP(OrvHandle handle, const char* address, uint16_t port) {
    return connectionFrame(handle, [&](LightEngine& engine) { engine.connectTCP(textIn(address), port); });
}

int32_t orv_disconnect(OrvHandle handle) {
    return connectionFrame(handle, [](LightEngine& engine) { engine.disconnect(); });
}

int32_t orv_getConnected(OrvHandle handle, int32_t* connected) {
    // Same crash-proof shell as the device family; the query itself cannot fail.
    return deviceFrame(handle, [&](LightEngine& engine) {
        valueOut(connected, [&] { return flagOut(engine.getConnected()); });
    });
}

int32_t orv_shutDown(OrvHandle handle) {
    // The reply is deliberately not examined: only a failed exchange fails the call.
    return deviceFrame(handle, [](LightEngine& engine) { engine.executeCommand("SHUTDOWN"); });
}

int32_t orv_restart(OrvHandle handle) {
    return deviceFrame(handle, [](LightEngine& engine) { engine.executeCommand("REBOOT"); });
}

int32_t orv_wakeUp(OrvHandle handle) {
    return deviceFrame(handle, [](LightEngine& engine) { engine.wakeUp(); });
}

int32_t orv_executeCommand(OrvHandle handle, const char* command, char* reply, int32_t size) {
    return deviceFrame(
        handle, [&](LightEngine& engine) { textOut(engine.executeCommand(textIn(command)), reply, size); });
}

}  // extern "C"
