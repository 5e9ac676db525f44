#include "legacy/LegacyLightEngine.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "engine/DriverFailures.h"
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

LegacyLightEngine::LegacyLightEngine(std::string modelName) : model(std::move(modelName)) {}

LegacyLightEngine::~LegacyLightEngine() {
    if (deviceHandle != nullptr) ovShutDown(deviceHandle);
}

size_t LegacyLightEngine::checkedChannel(int channel) const {
    if (channel < 0 || static_cast<size_t>(channel) >= channelNames.size()) throwInvalidChannelIndex(channel);
    return static_cast<size_t>(channel);
}

void LegacyLightEngine::connectTCP(const std::string&, uint16_t) { throwNotSupported(); }

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

std::string LegacyLightEngine::getModel() { return model; }
std::string LegacyLightEngine::getSerialNumber() { throwNotSupported(); }
std::string LegacyLightEngine::getVersion() { throwNotSupported(); }
std::string LegacyLightEngine::getIP() { throwNotSupported(); }
void LegacyLightEngine::setIP(const std::string&) { throwNotSupported(); }

double LegacyLightEngine::getTemperature() { return 0.0; }
int LegacyLightEngine::getStatusCode() { return 0; }
int LegacyLightEngine::getMaximumIntensity() { return 100; }
int LegacyLightEngine::getNumberOfChannels() { return static_cast<int>(channelNames.size()); }

std::string LegacyLightEngine::getChannelName(int channel) { return channelNames[checkedChannel(channel)]; }

int LegacyLightEngine::getChannelIndex(const std::string& name) {
    const auto found = std::find(channelNames.begin(), channelNames.end(), name);
    if (found == channelNames.end()) throwInvalidChannelName(name);
    return static_cast<int>(found - channelNames.begin());
}

void LegacyLightEngine::setChannel(int channel, bool on) {
    const size_t index = checkedChannel(channel);
    // The library's result is not examined: the record follows the request.
    ovColorEnable(channelNames[index].c_str(), on ? "ON" : "OFF");
    channelStates[index] = on;
}

bool LegacyLightEngine::getChannel(int channel) { return channelStates[checkedChannel(channel)]; }

void LegacyLightEngine::setMultipleChannels(const std::vector<bool>& on) {
    for (size_t i = 0; i < on.size(); ++i) setChannel(static_cast<int>(i), on[i]);
}

std::vector<bool> LegacyLightEngine::getMultipleChannels() { return channelStates; }

void LegacyLightEngine::setIntensity(int channel, int intensity) {
    const size_t index = checkedChannel(channel);
    if (intensity < 0 || intensity > getMaximumIntensity()) throwInvalidIntensity(intensity);
    ovColorLevel(channelNames[index].c_str(), std::to_string(intensity).c_str());
    intensities[index] = intensity;
}

int LegacyLightEngine::getIntensity(int channel) { return intensities[checkedChannel(channel)]; }

int LegacyLightEngine::getChannelPowerCount(int) { throwNotSupported(); }
double LegacyLightEngine::getChannelPowerMW(int) { throwNotSupported(); }
std::vector<int> LegacyLightEngine::getPowerReference() { throwNotSupported(); }
void LegacyLightEngine::setPowerReference(const std::vector<int>&) { throwNotSupported(); }
void LegacyLightEngine::setPowerLock(bool) { throwNotSupported(); }
bool LegacyLightEngine::getPowerLock() { throwNotSupported(); }

void LegacyLightEngine::setMultipleIntensities(const std::vector<int>& intensity) {
    for (size_t i = 0; i < intensity.size(); ++i) setIntensity(static_cast<int>(i), intensity[i]);
}

std::vector<int> LegacyLightEngine::getMultipleIntensities() { return intensities; }

void LegacyLightEngine::wakeUp() {}

void LegacyLightEngine::setTTLEnable(bool) { throwNotSupported(); }
bool LegacyLightEngine::getTTLEnable() { throwNotSupported(); }
void LegacyLightEngine::setTTLPolarity(bool) { throwNotSupported(); }
bool LegacyLightEngine::getTTLPolarity() { throwNotSupported(); }
double LegacyLightEngine::getSupplyPowerW() { throwNotSupported(); }
std::string LegacyLightEngine::executeCommand(const std::string&) { throwNotSupported(); }

void LegacyLightEngine::setLastError(int code, const std::string& text) { lastError.set(code, text); }
int LegacyLightEngine::getLastErrorCode() { return lastError.code(); }
std::string LegacyLightEngine::getLastErrorText() { return lastError.text(); }
void LegacyLightEngine::throwLeException() { throwTestException(); }

}  // namespace orvapi
