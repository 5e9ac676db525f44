#pragma once
// Failures shared by several drivers, written once.
#include <string>

namespace orvapi {

// "Function not supported by Legacy protocol." (code -1): operations a device family lacks.
[[noreturn]] void throwNotSupported();
// "Test exception thrown by light engine." (code -1): every driver's throwLeException.
[[noreturn]] void throwTestException();
// "Invalid channel index <channel>" (code -1).
[[noreturn]] void throwInvalidChannelIndex(int channel);
// "Invalid channel name <name>" (code -1).
[[noreturn]] void throwInvalidChannelName(const std::string& name);
// "Invalid intensity <intensity>" (code -1).
[[noreturn]] void throwInvalidIntensity(int intensity);

}  // namespace orvapi
