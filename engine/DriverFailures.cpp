#include "engine/DriverFailures.h"

#include "link/LeException.h"

namespace orvapi {

void throwNotSupported() { throw leFailure("Function not supported by Legacy protocol."); }

void throwTestException() { throw leFailure("Test exception thrown by light engine."); }

void throwInvalidChannelIndex(int channel) {
    throw leFailure("Invalid channel index " + std::to_string(channel));
}

void throwInvalidChannelName(const std::string& name) { throw leFailure("Invalid channel name " + name); }

void throwInvalidIntensity(int intensity) { throw leFailure("Invalid intensity " + std::to_string(intensity)); }

}  // namespace orvapi
