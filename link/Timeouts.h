#pragma once
// Every time limit of the device link, in one place. Transports take them as parameters
// so that tests can pass short ones.
#include <chrono>

namespace orvapi {

// A reply that has not arrived (TCP) or not ended (serial) by then fails the command.
constexpr std::chrono::milliseconds kReplyTimeout{100000};

// Once a serial reply line has grown past its limit, its rest is read and dropped for this long
// at most (so that it cannot answer the next command), then the command fails.
constexpr std::chrono::milliseconds kOverlongLineDrain{1000};

}  // namespace orvapi
