#pragma once
// The byte commands of the TOVRA3: fixed sequences with no terminator, each sent in one write.
#include <string>

namespace orvapi::tovra3 {

extern const std::string kInitialise;  // 57 02 FF 50 57 03 FD 50
extern const std::string kChannelOn;   // 4F 7D 50
extern const std::string kChannelOff;  // 4F 7F 50

// 53 18 03 04, two level bytes, 50. The percentage (0 to 100) becomes a 12-bit level whose
// complement is sent in its upper eight bits; the caller has checked the range.
std::string intensityCommand(int percent);

}  // namespace orvapi::tovra3
