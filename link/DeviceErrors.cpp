#include "link/DeviceErrors.h"

namespace orvapi {

const std::map<int, std::string> deviceErrorMessages = {
    {0, "OK"},
    {51, "Invalid channel index"},
    {52, "Invalid command syntax"},
    {53, "Unknown command"},
    {55, "Invalid command argument(s)"},
    {56, "Hardware configuration error"},
    {57, "Channel is locked due to interlock, power supply overload, temperature overload or fan malfunction"},
    {58, "Light engine is busy"},
    {59, "Set intensity failed because channel is under PID control"},
    {60, "Interlock is active"},
    {61, "Feature is unavailable on this model"},
    {62, "Power limiter is blocking the system"},
    {63, "Command is ignored because it would overload the power supply"},
    {64, "TEC is not locked, channel(s) are disabled"},
    // The device documentation gives this message no number; 65 is unused by every other entry.
    {65, "TEC temperature is out of range"},
    {71, "Power reference exceeds the limit"},
    {72, "Power regulation unavailable for the current channel combination, due to sensor sharing"},
    {74, "Lasers warming up"},
};

std::string getErrorMessage(int code) {
    const auto found = deviceErrorMessages.lower_bound(code);
    if (found != deviceErrorMessages.end() && found->first == code) return found->second;
    return "Error: " + std::to_string(code);
}

}  // namespace orvapi
