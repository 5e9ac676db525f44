#include "legacy/LegacyLightEngine.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "engine/ModelTables.h"
#include "link/LeException.h"

namespace orvapi {

namespace {

// The closed library numbers ports from 0: "COM1" is 0. The digits are read like atoi but
// saturate, so an absurdly long number cannot overflow.
int32_t zeroBasedPort(const std::string& portName) {
    const long long number = std::clamp<long long>(std::strtoll(portName.c_str() + 3, nullptr, 10), INT_MIN, INT_MAX);
    return static_cast<int32_t>(std::max<long long>(number - 1, INT_MIN));
}

// The closed library has no entry of its own for VEXORX and drives it as a VEXOR7.
const char* libraryModelName(const std::string& model) { return model == "VEXORX" ? "VEXOR7" : model.c_str(); }

}  // namespace

LegacyLightEngine::LegacyLightEngine(std::string modelName) : OlderDeviceEngine(std::move(modelName)) {}

LegacyLightEngine::~LegacyLightEngine() {
    if (deviceHandle != nullptr) ovShutDown(deviceHandle);
}

void LegacyLightEngine::connectCOM(const std::string& portName, uint32_t) {
    disconnect();
    if (portName.size() < 4 || portName.compare(0, 3, "COM") != 0)
        throw leFailure("Invalid port name, must look like COM1.");
    const int32_t port = zeroBasedPort(portName);

    const auto entry = modelChannelTable.find(model);
    if (entry == modelChannelTable.end()) throw leFailure("Unrecognized model " + model);
    channelNames = entry->second;
    intensities.assign(channelNames.size(), 0);
    channelStates.assign(channelNames.size(), false);

    deviceHandle = ovInit(port, libraryModelName(model));
    if (deviceHandle == nullptr) {
        channelNames.clear();
        throw leFailure("Invalid model or com port specified.");
    }
}

void LegacyLightEngine::disconnect() {
    if (deviceHandle != nullptr) {
        ovShutDown(deviceHandle);
        deviceHandle = nullptr;
    }
    channelNames.clear();
    intensities.clear();
    channelStates.clear();
}

bool LegacyLightEngine::getConnected() { return deviceHandle != nullptr; }

void LegacyLightEngine::sendChannel(size_t index, bool on) {
    ovColorEnable(channelNames[index].c_str(), on ? "ON" : "OFF");
}

void LegacyLightEngine::sendIntensity(size_t index, int intensity) {
    ovColorLevel(channelNames[index].c_str(), std::to_string(intensity).c_str());
}

}  // namespace orvapi
