#include "sim/gen3/DeviceModel.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <sstream>

namespace photarc::sim {

namespace {

// Error codes the unit reports (same table as the host library's).
constexpr int kInvalidChannel = 51;
constexpr int kInvalidSyntax = 52;
constexpr int kUnknownCommand = 53;
constexpr int kInvalidArgument = 55;
constexpr int kBusy = 58;
constexpr int kUnderPidControl = 59;
constexpr int kOverload = 63;
constexpr int kReferenceTooHigh = 71;
constexpr size_t kMaxEcho = 64;

std::vector<std::string> split(const std::string& line) {
    std::istringstream stream(line);
    std::vector<std::string> tokens;
    std::string token;
    while (stream >> token) tokens.push_back(token);
    return tokens;
}

std::string fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

bool isDottedQuad(const std::string& text) {
    int parts = 0;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = std::min(text.find('.', start), text.size());
        int value = -1;
        const auto [next, status] = std::from_chars(text.data() + start, text.data() + end, value);
        if (status != std::errc() || next != text.data() + end || end == start || value > 255) return false;
        ++parts;
        start = end + 1;
    }
    return parts == 4;
}

}  // namespace

DeviceModel::DeviceModel(DeviceConfig config) : settings(std::move(config)), ipAddress(settings.ipAddress) {
    reset();
    registerCommands();
}

void DeviceModel::reset() {
    channels.assign(settings.channels.size(), Channel{});
    powerLock = false;
    ttlEnable = false;
    ttlPositive = true;
    standby = false;
}

double DeviceModel::wattsOf(const std::vector<Channel>& state) const {
    double watts = settings.idleWatts;
    for (const auto& channel : state)
        if (channel.on) watts += settings.channelFullWatts * channel.intensity / settings.maxIntensity;
    return watts;
}

double DeviceModel::supplyWatts() const { return wattsOf(channels); }

double DeviceModel::supplyLimitWatts() const {
    if (settings.supplyLimitWatts > 0) return settings.supplyLimitWatts;
    const double channelsAtFull = std::max(1.0, 0.75 * static_cast<double>(channels.size()));
    return settings.idleWatts + settings.channelFullWatts * channelsAtFull;
}

std::string DeviceModel::ok(const std::string& values) const {
    return "A " + echo + (values.empty() ? std::string() : " " + values);
}

std::string DeviceModel::error(int code) const { return "E " + echo + " " + std::to_string(code); }

std::string DeviceModel::intArg(const std::string& text, int low, int high, int& value) const {
    const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (status != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return error(kInvalidArgument);
    return {};
}

std::string DeviceModel::channelArg(const std::string& text, size_t& index) const {
    int value = 0;
    const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (status != std::errc() || end != text.data() + text.size()) return error(kInvalidArgument);
    if (value < 0 || static_cast<size_t>(value) >= channels.size()) return error(kInvalidChannel);
    index = static_cast<size_t>(value);
    return {};
}

std::string DeviceModel::flagArg(const std::string& text, bool& value) const {
    if (text != "0" && text != "1") return error(kInvalidArgument);
    value = text == "1";
    return {};
}

std::string DeviceModel::applyChannels(const std::vector<Channel>& next) {
    bool switchesOn = false;
    for (size_t i = 0; i < next.size(); ++i) switchesOn = switchesOn || (next[i].on && !channels[i].on);
    if (switchesOn && standby) return error(kBusy);
    if (wattsOf(next) > supplyLimitWatts() && wattsOf(next) > wattsOf(channels)) return error(kOverload);
    channels = next;
    return ok();
}

void DeviceModel::echoCommand(const std::vector<std::string>& tokens) {
    echo.clear();
    for (const auto& token : tokens) echo += (echo.empty() ? "" : "_") + token;
    if (echo.size() > kMaxEcho) echo.resize(kMaxEcho);
    if (echo.empty()) echo = "-";
}

std::string DeviceModel::refuseAsBusy(const std::string& commandLine) {
    echoCommand(split(commandLine));
    return error(kBusy);
}

std::string DeviceModel::handle(const std::string& commandLine) {
    const auto tokens = split(commandLine);
    echoCommand(tokens);
    if (tokens.empty()) return error(kInvalidSyntax);

    const bool getOrSet = (tokens[0] == "GET" || tokens[0] == "SET") && tokens.size() >= 2;
    const std::string key = getOrSet ? tokens[0] + " " + tokens[1] : tokens[0];
    const auto found = commands.find(key);
    if (found == commands.end()) return error(kUnknownCommand);
    return found->second(Args(tokens.begin() + (getOrSet ? 2 : 1), tokens.end()));
}

void DeviceModel::registerCommands() {
    // A handler with a fixed number of arguments; a different count is a syntax error.
    const auto with = [this](size_t count, Handler body) -> Handler {
        return [this, count, body](const Args& args) { return args.size() == count ? body(args) : error(kInvalidSyntax); };
    };
    const auto value = [this, with](std::function<std::string()> read) {
        return with(0, [this, read](const Args&) { return ok(read()); });
    };
    const auto perChannel = [this, with](std::function<std::string(const Channel&)> read) {
        return with(1, [this, read](const Args& args) {
            size_t index = 0;
            if (auto bad = channelArg(args[0], index); !bad.empty()) return bad;
            return ok(read(channels[index]));
        });
    };
    const auto list = [this, with](std::function<std::string(const Channel&)> read) {
        return with(0, [this, read](const Args&) {
            std::string values;
            for (const auto& channel : channels) values += (values.empty() ? "" : " ") + read(channel);
            return ok(values);
        });
    };
    const auto setFlag = [this, with](bool& target) {
        return with(1, [this, &target](const Args& args) {
            if (auto bad = flagArg(args[0], target); !bad.empty()) return bad;
            return ok();
        });
    };
    const auto fraction = [this](const Channel& c) {
        return c.on ? static_cast<double>(c.intensity) / settings.maxIntensity : 0.0;
    };

    commands["GET MODEL"] = value([this] { return settings.model; });
    commands["GET SN"] = value([this] { return settings.serialNumber; });
    commands["GET VER"] = value([this] { return settings.firmware; });
    commands["GET IP"] = value([this] { return ipAddress; });
    commands["SET IP"] = with(1, [this](const Args& args) {
        if (!isDottedQuad(args[0])) return error(kInvalidArgument);
        ipAddress = args[0];
        return ok();
    });
    commands["GET TEMP"] = value([this] { return fixed(24.0 + 0.05 * (supplyWatts() - settings.idleWatts), 2); });
    commands["GET STAT"] = value([this] { return standby ? "1" : "0"; });
    commands["GET MAXINT"] = value([this] { return std::to_string(settings.maxIntensity); });
    commands["GET NUMCH"] = value([this] { return std::to_string(channels.size()); });
    commands["GET CHMAP"] = value([this] {
        std::string names;
        for (const auto& name : settings.channels) names += (names.empty() ? "" : " ") + name;
        return names;
    });
    commands["GET SUPPLYPOWER"] = value([this] { return fixed(supplyWatts(), 2); });
    commands["GET PWRLOCK"] = value([this] { return powerLock ? "1" : "0"; });
    commands["SET PWRLOCK"] = setFlag(powerLock);
    commands["GET TTLENABLE"] = value([this] { return ttlEnable ? "1" : "0"; });
    commands["SET TTLENABLE"] = setFlag(ttlEnable);
    commands["GET TTLPOL"] = value([this] { return ttlPositive ? "POS" : "NEG"; });
    commands["SET TTLPOL"] = with(1, [this](const Args& args) {
        if (args[0] != "POS" && args[0] != "NEG") return error(kInvalidArgument);
        ttlPositive = args[0] == "POS";
        return ok();
    });

    commands["GET CH"] = perChannel([](const Channel& c) { return c.on ? "1" : "0"; });
    commands["GET CHINT"] = perChannel([](const Channel& c) { return std::to_string(c.intensity); });
    commands["GET CHPWR"] = perChannel([this, fraction](const Channel& c) {
        return std::to_string(static_cast<int>(fraction(c) * settings.countsAtFull + 0.5));
    });
    commands["GET CHPWRWATTS"] = perChannel(
        [this, fraction](const Channel& c) { return fixed(fraction(c) * settings.channelFullMilliwatts, 3); });
    commands["GET MULCH"] = list([](const Channel& c) { return c.on ? "1" : "0"; });
    commands["GET MULCHINT"] = list([](const Channel& c) { return std::to_string(c.intensity); });
    commands["GET PWR"] = list([](const Channel& c) { return std::to_string(c.powerReference); });

    commands["SET CH"] = with(2, [this](const Args& args) {
        size_t index = 0;
        bool on = false;
        if (auto bad = channelArg(args[0], index); !bad.empty()) return bad;
        if (auto bad = flagArg(args[1], on); !bad.empty()) return bad;
        auto next = channels;
        next[index].on = on;
        return applyChannels(next);
    });
    commands["SET CHINT"] = with(2, [this](const Args& args) {
        size_t index = 0;
        int intensity = 0;
        if (auto bad = channelArg(args[0], index); !bad.empty()) return bad;
        if (auto bad = intArg(args[1], 0, settings.maxIntensity, intensity); !bad.empty()) return bad;
        if (powerLock) return error(kUnderPidControl);
        auto next = channels;
        next[index].intensity = intensity;
        return applyChannels(next);
    });
    // The list settings take exactly one value per channel.
    const auto perChannelList = [this](std::function<std::string(const std::string&, Channel&)> apply) -> Handler {
        return [this, apply](const Args& args) {
            if (args.size() != channels.size()) return error(kInvalidArgument);
            auto next = channels;
            for (size_t i = 0; i < args.size(); ++i)
                if (auto bad = apply(args[i], next[i]); !bad.empty()) return bad;
            return applyChannels(next);
        };
    };
    commands["SET MULCH"] = perChannelList([this](const std::string& arg, Channel& c) { return flagArg(arg, c.on); });
    commands["SET MULCHINT"] = perChannelList([this](const std::string& arg, Channel& c) {
        if (powerLock) return error(kUnderPidControl);
        return intArg(arg, 0, settings.maxIntensity, c.intensity);
    });
    commands["SET PWR"] = perChannelList([this](const std::string& arg, Channel& c) {
        if (auto bad = intArg(arg, 0, INT32_MAX, c.powerReference); !bad.empty()) return bad;
        return c.powerReference > settings.maxPowerReference ? error(kReferenceTooHigh) : std::string();
    });

    commands["WAKEUP"] = with(0, [this](const Args&) {
        standby = false;
        return ok();
    });
    commands["SHUTDOWN"] = with(0, [this](const Args&) {
        for (auto& channel : channels) channel.on = false;
        standby = true;
        return ok();
    });
    commands["REBOOT"] = with(0, [this](const Args&) {
        reset();
        return ok();
    });
}

}  // namespace photarc::sim
