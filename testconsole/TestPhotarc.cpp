// TestPhotarc: walks one light engine through the library's exports, from connection through
// an intensity ramp and the error-reporting path to disconnection.
#include <chrono>
#include <cstdint>
#include <iostream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "photarc.h"
#include "testconsole/SerialAddress.h"

namespace {

constexpr uint32_t kBaudRate = 115200;
constexpr uint32_t kLegacyBaudRate = 9600;
constexpr uint16_t kTcpPort = 8095;
constexpr int32_t kTextSize = 1024;
constexpr int32_t kErrorTextSize = 1000;
// Arrays are sized from the device's channel count: a larger one is a faulty reply.
constexpr int32_t kMaxChannels = 1024;

void say(const std::string& line) { std::cout << line << std::endl; }

// A guarded call: a non-zero result stops the run with the handle's last error.
void check(OrvHandle handle, int32_t result) {
    if (result == 0) return;
    int32_t code = 0;
    std::vector<char> text(kTextSize, '\0');
    orv_getLastErrorCode(handle, &code);
    orv_getLastErrorText(handle, text.data(), kTextSize);
    throw std::runtime_error("Error : " + std::to_string(code) + ", " + text.data() + "\n");
}

int32_t channelCount(OrvHandle handle) {
    int32_t channels = 0;
    check(handle, orv_getNumberOfChannels(handle, &channels));
    if (channels < 0 || channels > kMaxChannels)
        throw std::runtime_error("Error : -1, Channel count out of range (0 to " + std::to_string(kMaxChannels) +
                                 "): " + std::to_string(channels) + "\n");
    return channels;
}

std::string textOf(OrvHandle handle, int32_t (*getter)(OrvHandle, char*, int32_t)) {
    std::vector<char> buffer(kTextSize, '\0');
    check(handle, getter(handle, buffer.data(), kTextSize));
    return buffer.data();
}

void rampChannel(OrvHandle handle, int32_t index, const std::vector<std::string>& names, int32_t maximum,
                 int32_t step, bool legacy) {
    say("Testing channel: " + names[static_cast<size_t>(index)]);
    orv_setChannel(handle, index, 1);
    for (int32_t value = 0; value < maximum; value += step) {
        orv_setIntensity(handle, index, value);
        std::this_thread::sleep_for(std::chrono::seconds(1));
        if (legacy) {
            say("   I=" + std::to_string(value));
        } else {
            double power = 0;
            check(handle, orv_getChannelPowerMW(handle, index, &power));
            std::cout << "   I=" << value << ", P=" << power << " mW" << std::endl;
        }
    }
    const int32_t count = static_cast<int32_t>(names.size());
    std::vector<int32_t> intensities(names.size()), states(names.size());
    check(handle, orv_getMultipleIntensities(handle, intensities.data(), count));
    check(handle, orv_getMultipleChannels(handle, states.data(), count));
    for (size_t j = 0; j < names.size(); ++j)
        say(names[j] + "=" + std::to_string(intensities[j]) + ", " + (states[j] != 0 ? "ON" : "OFF"));
    check(handle, orv_setChannel(handle, index, 0));
    orv_setIntensity(handle, index, 0);
}

void showErrorReporting(OrvHandle handle, int32_t channels, int32_t maximum) {
    say("Test error reporting...");
    const auto count = static_cast<size_t>(channels);
    const std::vector<int32_t> full(count, maximum), dark(count, 0), on(count, 1), off(count, 0);
    check(handle, orv_setMultipleIntensities(handle, full.data(), channels));
    // Every channel on at full intensity should overload the supply: the device refuses (63).
    const int32_t result = orv_setMultipleChannels(handle, on.data(), channels);
    if (result != 0) {
        say("orv_setMultipleChannels returned: " + std::to_string(result));
        int32_t code = 0;
        orv_getLastErrorCode(handle, &code);
        say("Error code: " + std::to_string(code));
        std::vector<char> text(kErrorTextSize, '\0');
        orv_getLastErrorText(handle, text.data(), kErrorTextSize);
        say("Error description: ");
        say(std::string("\t") + text.data());
    } else {
        say("Expected error 63 did not occur.");
    }
    check(handle, orv_setMultipleIntensities(handle, dark.data(), channels));
    check(handle, orv_setMultipleChannels(handle, off.data(), channels));
}

// After a run that stopped half-way (in a ramp, or after every channel went on): every channel
// off and dark. Failures are ignored (without a channel count nothing is sent); the run's own
// failure has been reported.
void leaveDark(OrvHandle handle) noexcept {
    try {
        const int32_t channels = channelCount(handle);
        const std::vector<int32_t> zeros(static_cast<size_t>(channels), 0);
        orv_setMultipleChannels(handle, zeros.data(), channels);
        orv_setMultipleIntensities(handle, zeros.data(), channels);
    } catch (...) {
    }
}

// `connected` is set once the link is open, so the error path knows whether a light may be on.
void run(OrvHandle handle, const std::string& address, bool legacy, bool& connected) {
    say("Connecting to light engine on: " + address + "...");
    if (isSerialAddress(address))
        check(handle, orv_connectCOM(handle, address.c_str(), legacy ? kLegacyBaudRate : kBaudRate));
    else
        check(handle, orv_connectTCP(handle, address.c_str(), kTcpPort));
    connected = true;

    say("Model: " + textOf(handle, orv_getModel));
    if (!legacy) {
        say("Firmware version: " + textOf(handle, orv_getVersion));
        say("Serial number: " + textOf(handle, orv_getSerialNumber));
    }

    const int32_t channels = channelCount(handle);
    std::vector<std::string> names;
    std::string line = "Channels: ";
    for (int32_t i = 0; i < channels; ++i) {
        std::vector<char> name(kTextSize, '\0');
        check(handle, orv_getChannelName(handle, i, name.data(), kTextSize));
        names.emplace_back(name.data());
        line += names.back() + " ";
    }
    say(line);

    int32_t maximum = 0;
    check(handle, orv_getMaximumIntensity(handle, &maximum));
    // A maximum below 10 would give a step of 0 and a ramp without end.
    const int32_t step = maximum / 10 > 0 ? maximum / 10 : 1;
    for (int32_t i = 0; i < static_cast<int32_t>(names.size()); ++i)
        rampChannel(handle, i, names, maximum, step, legacy);

    showErrorReporting(handle, static_cast<int32_t>(names.size()), maximum);

    say("Disconnecting from light engine on: " + address + "...");
    check(handle, orv_disconnect(handle));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        say("IP address missing");
        return 1;
    }
    const std::string address = argv[1];
    const bool legacy = argc >= 3;
    const std::string legacyModel = legacy ? argv[2] : "";

    OrvHandle handle = nullptr;
    if (legacy && !legacyModel.empty()) {
        if (orv_createLegacyLightEngineByName(&handle, legacyModel.c_str()) != 0) {
            say("Legacy light engine create() failed");
            return 2;
        }
    } else if (orv_createLightEngine(&handle) != 0) {
        say("Light Engine create() failed");
        return 2;
    }

    say(std::string("Photarc version ") + "1.1.14" + ", part number " + "48-20731-Rev-C");
    bool connected = false;
    try {
        run(handle, address, legacy, connected);
    } catch (const std::exception& failure) {
        std::cout << failure.what() << std::endl;
        if (connected) leaveDark(handle);
    }
    orv_deleteLightEngine(handle);
    say("Test completed.");
    return 0;
}
