#pragma once
// The small device TestPhotarc is run against in tests (in-process on POSIX; photarc-sim
// started by ci/windows with the same settings for the Windows build): one white channel whose
// maximum intensity 3 makes a tenth-step of 0, so the ramp goes in steps of one; the supply
// carries the ramp but not the channel at full intensity (42 W), so the error path shows 63.
#include <string>
#include <vector>

namespace photarc::testing::console {

inline const char* const kModel = "Sim LE1";
inline const char* const kSerialNumber = "SN-7";
inline const char* const kFirmware = "2.0.1";
inline const char* const kChannel = "WHITE";
constexpr int kMaxIntensity = 3;
constexpr double kSupplyLimitWatts = 41;

inline const char* const kBanner = "Photarc version 1.1.14, part number 48-20731-Rev-C";

// Every line TestPhotarc prints for a whole run against that device.
inline std::vector<std::string> expectedRun(const std::string& address) {
    return {
        kBanner,
        "Connecting to light engine on: " + address + "...",
        std::string("Model: ") + kModel,
        std::string("Firmware version: ") + kFirmware,
        std::string("Serial number: ") + kSerialNumber,
        std::string("Channels: ") + kChannel + " ",
        std::string("Testing channel: ") + kChannel,
        "   I=0, P=0 mW",
        "   I=1, P=83.333 mW",
        "   I=2, P=166.667 mW",
        std::string(kChannel) + "=2, ON",
        "Test error reporting...",
        "orv_setMultipleChannels returned: 11001",
        "Error code: 63",
        "Error description: ",
        "\tError : Command is ignored because it would overload the power supply",
        "Disconnecting from light engine on: " + address + "...",
        "Test completed.",
    };
}

}  // namespace photarc::testing::console
