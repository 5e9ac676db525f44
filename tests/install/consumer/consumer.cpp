#include <photarc.h>

#include <iostream>
#include <string>

int main() {
    OrvHandle handle = nullptr;
    if (orv_createLightEngine(&handle) != 0) return 1;
    int32_t channels = 0;
    const bool refused = orv_getNumberOfChannels(handle, &channels) == PHOTARC_DEVICE_FAILURE;
    char text[64];
    orv_getLastErrorText(handle, text, sizeof text);
    orv_deleteLightEngine(handle);
    if (!refused || std::string(text) != "Not connected") return 2;
    std::cout << "consumer c++ ok" << std::endl;
    return 0;
}
