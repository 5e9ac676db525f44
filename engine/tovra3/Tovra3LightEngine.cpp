#include "engine/tovra3/Tovra3LightEngine.h"

#include <chrono>
#include <thread>

#include "engine/tovra3/Tovra3Commands.h"
#include "link/LeException.h"

namespace orvapi {

namespace {

constexpr std::chrono::milliseconds kCommandPause{5};

template <class List>
void requireSingleElement(const List& list) {
    if (list.size() != 1) throw leFailure("Invalid number of channels " + std::to_string(list.size()));
}

}  // namespace

// The single channel is channel 0; the records start dark.
Tovra3LightEngine::Tovra3LightEngine() : OlderDeviceEngine("TOVRA3") {
    channelNames = {"WHITE"};
    intensities = {0};
    channelStates = {false};
}

Tovra3LightEngine::~Tovra3LightEngine() { serialLink.close(); }

void Tovra3LightEngine::send(const std::string& bytes) {
    serialLink.write(bytes);
    std::this_thread::sleep_for(kCommandPause);
}

void Tovra3LightEngine::sendChannel(size_t, bool on) { send(on ? tovra3::kChannelOn : tovra3::kChannelOff); }

void Tovra3LightEngine::sendIntensity(size_t, int intensity) { send(tovra3::intensityCommand(intensity)); }

void Tovra3LightEngine::connectCOM(const std::string& portName, uint32_t baudRate) {
    disconnect();
    serialLink.open(portName, baudRate);
    send(tovra3::kInitialise);
    setIntensity(0, 0);
    setChannel(0, false);
}

void Tovra3LightEngine::disconnect() { serialLink.close(); }

bool Tovra3LightEngine::getConnected() { return serialLink.isOpen(); }

std::string Tovra3LightEngine::getChannelName(int) { return channelNames.front(); }

void Tovra3LightEngine::setMultipleChannels(const std::vector<bool>& on) {
    requireSingleElement(on);
    // The device is sent the command twice; it has always been driven that way.
    sendChannel(0, on[0]);
    channelStates[0] = on[0];
    setChannel(0, on[0]);
}

void Tovra3LightEngine::setMultipleIntensities(const std::vector<int>& intensity) {
    requireSingleElement(intensity);
    OlderDeviceEngine::setMultipleIntensities(intensity);
}

}  // namespace orvapi
