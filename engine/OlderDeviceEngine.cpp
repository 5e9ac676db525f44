#include "engine/OlderDeviceEngine.h"

#include <algorithm>

namespace orvapi {

size_t OlderDeviceEngine::checkedChannel(int channel) const {
    if (channel < 0 || static_cast<size_t>(channel) >= channelNames.size()) throwInvalidChannelIndex(channel);
    return static_cast<size_t>(channel);
}

std::string OlderDeviceEngine::getChannelName(int channel) { return channelNames[checkedChannel(channel)]; }

int OlderDeviceEngine::getChannelIndex(const std::string& name) {
    const auto found = std::find(channelNames.begin(), channelNames.end(), name);
    if (found == channelNames.end()) throwInvalidChannelName(name);
    return static_cast<int>(found - channelNames.begin());
}

void OlderDeviceEngine::setChannel(int channel, bool on) {
    const size_t index = checkedChannel(channel);
    sendChannel(index, on);
    channelStates[index] = on;
}

bool OlderDeviceEngine::getChannel(int channel) { return channelStates[checkedChannel(channel)]; }

void OlderDeviceEngine::setMultipleChannels(const std::vector<bool>& on) {
    for (size_t i = 0; i < on.size(); ++i) setChannel(static_cast<int>(i), on[i]);
}

void OlderDeviceEngine::setIntensity(int channel, int intensity) {
    const size_t index = checkedChannel(channel);
    if (intensity < 0 || intensity > getMaximumIntensity()) throwInvalidIntensity(intensity);
    sendIntensity(index, intensity);
    intensities[index] = intensity;
}

int OlderDeviceEngine::getIntensity(int channel) { return intensities[checkedChannel(channel)]; }

void OlderDeviceEngine::setMultipleIntensities(const std::vector<int>& intensity) {
    for (size_t i = 0; i < intensity.size(); ++i) setIntensity(static_cast<int>(i), intensity[i]);
}

}  // namespace orvapi
