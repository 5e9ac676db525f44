#include "SimulatedDevices.h"

#include <algorithm>
#include <iterator>

namespace ovsim {

namespace {

constexpr int32_t kPortCount = 16;

// The names the closed library knows; it has no entry of its own for VEXORX.
bool knownModel(const std::string& model) {
    static const char* const kModels[] = {"ZEFA2", "KORV", "PEXO", "DUVAN", "MESKO", "TOVRA", "VEXOR7", "BRANO"};
    return std::find(std::begin(kModels), std::end(kModels), model) != std::end(kModels);
}

bool isLevelText(const std::string& text) {
    const bool digits = !text.empty() && text.size() <= 3 &&
                        std::all_of(text.begin(), text.end(), [](unsigned char c) { return c >= '0' && c <= '9'; });
    return digits && std::stoi(text) <= 100;
}

}  // namespace

uintptr_t SimulatedDevices::open(int32_t port, const std::string& model) {
    if (port < 0 || port >= kPortCount || !knownModel(model)) return 0;
    const bool busy = std::any_of(openPorts.begin(), openPorts.end(), [&](const auto& entry) { return entry.second == port; });
    if (busy) return 0;
    openPorts.emplace(++lastHandle, port);
    return lastHandle;
}

bool SimulatedDevices::enable(const std::string& state) const {
    return !openPorts.empty() && (state == "ON" || state == "OFF");
}

bool SimulatedDevices::level(const std::string& text) const { return !openPorts.empty() && isLevelText(text); }

bool SimulatedDevices::close(uintptr_t handle) { return openPorts.erase(handle) != 0; }

void SimulatedDevices::closeAll() { openPorts.clear(); }

}  // namespace ovsim
