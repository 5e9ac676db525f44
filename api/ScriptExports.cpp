// orv_executeScript. Placeholder until the script host lands: every run fails cleanly.
#include <iostream>

#include "api/Frame.h"

using namespace orvapi;
using namespace orvapi::api;

extern "C" {

int32_t orv_executeScript(OrvHandle handle, const char* scriptPath) {
    (void)scriptPath;
    const char* text = "Script exception: scripts are not available in this build";
    if (handle == nullptr) {
        std::cout << text << std::endl;
        return kDeviceFailure;
    }
    return deviceFrame(handle, [&](LightEngine&) { throw leFailure(text); });
}

}  // extern "C"
