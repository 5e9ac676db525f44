// orv_executeScript: a device-family frame with a handle; without one, failures are printed.
#include "api/Conversions.h"
#include "api/Frame.h"
#include "link/StandardOutput.h"
#include "script/ScriptHost.h"

using namespace orvapi;
using namespace orvapi::api;

extern "C" {

int32_t orv_executeScript(OrvHandle handle, const char* scriptPath) {
    if (handle != nullptr)
        return deviceFrame(handle, [&](LightEngine& engine) { runScript(&engine, textIn(scriptPath)); });

    try {
        runScript(nullptr, textIn(scriptPath));
        return kSuccess;
    } catch (...) {
        printLine(currentFailure().text);
        return kDeviceFailure;
    }
}

}  // extern "C"
