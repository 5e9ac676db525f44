#pragma once
// Older light engines as the closed library would see them. One device waits behind each
// serial port 0 to 15 (COM1 to COM16); ovInit opens it for a known model unless it is already
// open. The handle-less colour calls reach the device opened most recently that is still open.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace ovsim {

class SimulatedDevices {
public:
    // A non-zero handle, or 0 when the port or the model is refused.
    uintptr_t open(int32_t port, const std::string& model);
    // False when no device is open or the state is neither "ON" nor "OFF".
    bool enable(const std::string& state) const;
    // False when no device is open or the level is not decimal text from "0" to "100".
    bool level(const std::string& level) const;
    // False for a handle that is not open.
    bool close(uintptr_t handle);
    void closeAll();

private:
    std::map<uintptr_t, int32_t> openPorts;  // handle -> port
    uintptr_t lastHandle = 0;
};

}  // namespace ovsim
