// orv_executeScript: a device-family frame with a handle; without one, failures are printed.
#include <iostream>

#include "api/Conversions.h"
#include "api/Frame.h"
#include "script/ScriptHost.h"

using namespace orvapi;
using namespace orvapi::api;

extern "C" {

int32_t orv_executeScript(OrvHandle handle, const char* scriptPath) {
    if (handle != nullptr)
        return deviceFrame(handle, [&](LightEngine& engine) { runScript(&engine, textIn(scriptPath)); });

    std::string failure;
    try {
        runScript(nullptr, textIn(scriptPath));
        return kSuccess;
    } catch (const LeException& error) {
        failure = error.description;
    } catch (const std::exception& error) {
        failure = error.what();
    } catch (...) {
        failure = "Unknown error occurred.";
    }
    try {
        std::cout << failure << std::endl;
    } catch (...) {
    }
    return kDeviceFailure;
}

}  // extern "C"
