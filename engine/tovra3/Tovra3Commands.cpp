#include "engine/tovra3/Tovra3Commands.h"

namespace orvapi::tovra3 {

const std::string kInitialise("\x57\x02\xFF\x50\x57\x03\xFD\x50", 8);
const std::string kChannelOn("\x4F\x7D\x50", 3);
const std::string kChannelOff("\x4F\x7F\x50", 3);

std::string intensityCommand(int percent) {
    const auto level = static_cast<unsigned>(percent / 100.0 * 4095.0 + 0.5);
    const unsigned inverted = ~level;
    // The lowest four bits of the level are not transmitted.
    const auto high = static_cast<char>(0xF0u | ((inverted >> 8) & 0x0Fu));
    const auto low = static_cast<char>(inverted & 0xF0u);
    std::string command("\x53\x18\x03\x04", 4);
    command += high;
    command += low;
    command += '\x50';
    return command;
}

}  // namespace orvapi::tovra3
