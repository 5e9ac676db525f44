#include "engine/Tovra3LightEngine.h"

#include <chrono>
#include <thread>

#include "engine/DriverFailures.h"
#include "engine/Tovra3Commands.h"
#include "link/LeException.h"

namespace orvapi {

namespace {

constexpr std::chrono::milliseconds kCommandPause{5};

// The single channel is channel 0; any other index is refused before anything is sent.
void requireChannelZero(int channel) {
    if (channel != 0) throwInvalidChannelIndex(channel);
}

template <class List>
void requireSingleElement(const List& list) {
    if (list.size() != 1) throw leFailure("Invalid number of channels " + std::to_string(list.size()));
}

}  // namespace

Tovra3LightEngine::~Tovra3LightEngine() { serialLink.close(); }

void Tovra3LightEngine::send(const std::string& bytes) {
    serialLink.write(bytes);
    std::this_thread::sleep_for(kCommandPause);
}

void Tovra3LightEngine::connectTCP(const std::string&, uint16_t) { throwNotSupported(); }

void Tovra3LightEngine::connectCOM(const std::string& portName, uint32_t baudRate) {
    disconnect();
    serialLink.open(portName, baudRate);
    send(tovra3::kInitialise);
    // A fresh connection always leaves the device dark and the records in step with it.
    setIntensity(0, 0);
    setChannel(0, false);
}

void Tovra3LightEngine::disconnect() { serialLink.close(); }

bool Tovra3LightEngine::getConnected() { return serialLink.isOpen(); }

std::string Tovra3LightEngine::getModel() { return "TOVRA3"; }
std::string Tovra3LightEngine::getSerialNumber() { throwNotSupported(); }
std::string Tovra3LightEngine::getVersion() { throwNotSupported(); }
std::string Tovra3LightEngine::getIP() { throwNotSupported(); }
void Tovra3LightEngine::setIP(const std::string&) { throwNotSupported(); }

double Tovra3LightEngine::getTemperature() { return 0.0; }
int Tovra3LightEngine::getStatusCode() { return 0; }
int Tovra3LightEngine::getMaximumIntensity() { return 100; }
int Tovra3LightEngine::getNumberOfChannels() { return 1; }

std::string Tovra3LightEngine::getChannelName(int) { return "WHITE"; }

int Tovra3LightEngine::getChannelIndex(const std::string& name) {
    if (name != "WHITE") throwInvalidChannelName(name);
    return 0;
}

void Tovra3LightEngine::setChannel(int channel, bool on) {
    requireChannelZero(channel);
    send(on ? tovra3::kChannelOn : tovra3::kChannelOff);
    channelOn = on;
}

bool Tovra3LightEngine::getChannel(int channel) {
    requireChannelZero(channel);
    return channelOn;
}

void Tovra3LightEngine::setMultipleChannels(const std::vector<bool>& on) {
    requireSingleElement(on);
    // The device is sent the command twice; it has always been driven that way.
    send(on[0] ? tovra3::kChannelOn : tovra3::kChannelOff);
    channelOn = on[0];
    setChannel(0, on[0]);
}

std::vector<bool> Tovra3LightEngine::getMultipleChannels() { return {channelOn}; }

void Tovra3LightEngine::setIntensity(int channel, int value) {
    requireChannelZero(channel);
    if (value < 0 || value > getMaximumIntensity()) throwInvalidIntensity(value);
    send(tovra3::intensityCommand(value));
    intensity = value;
}

int Tovra3LightEngine::getIntensity(int channel) {
    requireChannelZero(channel);
    return intensity;
}

int Tovra3LightEngine::getChannelPowerCount(int) { throwNotSupported(); }
double Tovra3LightEngine::getChannelPowerMW(int) { throwNotSupported(); }
std::vector<int> Tovra3LightEngine::getPowerReference() { throwNotSupported(); }
void Tovra3LightEngine::setPowerReference(const std::vector<int>&) { throwNotSupported(); }
void Tovra3LightEngine::setPowerLock(bool) { throwNotSupported(); }
bool Tovra3LightEngine::getPowerLock() { throwNotSupported(); }

void Tovra3LightEngine::setMultipleIntensities(const std::vector<int>& values) {
    requireSingleElement(values);
    for (size_t i = 0; i < values.size(); ++i) setIntensity(static_cast<int>(i), values[i]);
}

std::vector<int> Tovra3LightEngine::getMultipleIntensities() { return {intensity}; }

void Tovra3LightEngine::wakeUp() {}

void Tovra3LightEngine::setTTLEnable(bool) { throwNotSupported(); }
bool Tovra3LightEngine::getTTLEnable() { throwNotSupported(); }
void Tovra3LightEngine::setTTLPolarity(bool) { throwNotSupported(); }
bool Tovra3LightEngine::getTTLPolarity() { throwNotSupported(); }
double Tovra3LightEngine::getSupplyPowerW() { throwNotSupported(); }
std::string Tovra3LightEngine::executeCommand(const std::string&) { throwNotSupported(); }

void Tovra3LightEngine::setLastError(int code, const std::string& text) { lastError.set(code, text); }
int Tovra3LightEngine::getLastErrorCode() { return lastError.code(); }
std::string Tovra3LightEngine::getLastErrorText() { return lastError.text(); }
void Tovra3LightEngine::throwLeException() { throwTestException(); }

}  // namespace orvapi
