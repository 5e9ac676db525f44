#include <windows.h>

#include "sim/gen3/platform/StopRequest.h"

namespace photarc::sim::platform {

namespace {

HANDLE stopRequested = nullptr;  // a manual-reset event, set by the console handler

// Runs on a thread of its own that the system starts for each console event.
BOOL WINAPI onConsoleEvent(DWORD) {
    ::SetEvent(stopRequested);
    return TRUE;
}

}  // namespace

void prepareForStopRequest() {
    stopRequested = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

void waitForStopRequest() { ::WaitForSingleObject(stopRequested, INFINITE); }

}  // namespace photarc::sim::platform
