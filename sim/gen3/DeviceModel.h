#pragma once
// The simulated current-generation light engine as a pure function of its state: one command
// line in, one reply line out ("A <echo> values..." or "E <echo> <code>", no line end).
// Token 2 echoes the command (words joined by '_', at most 64 bytes), so a client can tell
// which command a reply belongs to. Not thread-safe: the fronts serialise access.
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace photarc::sim {

struct DeviceConfig {
    std::string model = "PHOTARC SIM 5";
    std::string serialNumber = "PS5-000123";
    std::string firmware = "3.4.1";
    std::string ipAddress = "192.168.10.20";
    std::vector<std::string> channels = {"VIOLET", "BLUE", "CYAN", "GREEN", "RED"};
    int maxIntensity = 1000;
    // Electrical model: what the supply delivers idle and per channel at full intensity.
    double idleWatts = 12.0;
    double channelFullWatts = 30.0;
    // 0 = derived: idle plus three quarters of all channels at full, so switching every
    // channel on at full intensity overloads the supply whatever the channel map.
    double supplyLimitWatts = 0.0;
    // Optical output and sensor counts of one channel at full intensity.
    double channelFullMilliwatts = 250.0;
    int countsAtFull = 4095;
    int maxPowerReference = 1000;
};

class DeviceModel {
public:
    explicit DeviceModel(DeviceConfig config = {});
    // The command table refers back to this object.
    DeviceModel(const DeviceModel&) = delete;
    DeviceModel& operator=(const DeviceModel&) = delete;

    // The reply to one command line (surrounding white space and CR ignored).
    std::string handle(const std::string& commandLine);
    // The reply of a unit too busy for the command (error 58); the command is not carried out.
    std::string refuseAsBusy(const std::string& commandLine);

    const DeviceConfig& config() const { return settings; }
    double supplyWatts() const;
    double supplyLimitWatts() const;

private:
    struct Channel {
        bool on = false;
        int intensity = 0;
        int powerReference = 0;
    };
    using Args = std::vector<std::string>;
    using Handler = std::function<std::string(const Args&)>;

    void reset();
    void registerCommands();
    // Token 2 of the replies to this command line.
    void echoCommand(const std::vector<std::string>& tokens);
    // Both the reply text and the error codes a real unit uses.
    std::string ok(const std::string& values = std::string()) const;
    std::string error(int code) const;
    // Argument checks: each returns an error reply, or empty when the argument is good.
    std::string channelArg(const std::string& text, size_t& index) const;
    std::string flagArg(const std::string& text, bool& value) const;
    std::string intArg(const std::string& text, int low, int high, int& value) const;
    // Applies a new channel state unless it would overload the supply (error 63).
    std::string applyChannels(const std::vector<Channel>& next);
    double wattsOf(const std::vector<Channel>& state) const;

    DeviceConfig settings;
    std::map<std::string, Handler> commands;
    std::vector<Channel> channels;
    std::string ipAddress;
    bool powerLock = false;
    bool ttlEnable = false;
    bool ttlPositive = true;
    bool standby = false;
    std::string echo;  // token 2 of the reply being built
};

}  // namespace photarc::sim
