#pragma once
// How the photarc-sim program is asked to stop: Ctrl-C, and on POSIX systems SIGTERM too.
namespace photarc::sim::platform {

// Call before any thread starts, so that only waitForStopRequest receives the request.
void prepareForStopRequest();
// Returns once a stop has been requested.
void waitForStopRequest();

}  // namespace photarc::sim::platform
