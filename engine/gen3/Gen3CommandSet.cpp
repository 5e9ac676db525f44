// The command words of the text protocol and how each reply is read.
#include <algorithm>

#include "engine/DriverFailures.h"
#include "engine/gen3/Gen3LightEngine.h"
#include "link/DeviceErrors.h"
#include "link/LeException.h"

namespace orvapi {

namespace {

std::string flag(bool value) { return value ? "1" : "0"; }

// " v1 v2 ..." for a list argument; empty for an empty list.
template <class List, class Format>
std::string joinArguments(const List& values, Format format) {
    std::string text;
    for (const auto value : values) text += " " + format(value);
    return text;
}

// No device has more channels than this; a larger (or negative) count is a faulty reply, and
// believing it would make callers size lists of billions of entries.
constexpr int kMaxChannelCount = 1024;

[[noreturn]] void throwNotAcknowledged(const Reply& reply) {
    throw LeException("Error : " + getErrorMessage(reply.code), reply.code);
}

}  // namespace

Reply Gen3LightEngine::exchange(const std::string& command) { return parseReply(executeCommand(command)); }

std::string Gen3LightEngine::queryValue(const std::string& command) { return firstValueOf(exchange(command)); }

void Gen3LightEngine::sendSetting(const std::string& command) {
    const Reply reply = exchange(command);
    if (!reply.acknowledged) throwNotAcknowledged(reply);
}

std::vector<std::string> Gen3LightEngine::queryList(const std::string& command) {
    Reply reply = exchange(command);
    if (!reply.acknowledged) throwNotAcknowledged(reply);
    auto& tokens = reply.tokens;
    tokens.erase(tokens.begin(), tokens.begin() + static_cast<std::ptrdiff_t>(std::min<size_t>(2, tokens.size())));
    return std::move(tokens);
}

std::vector<std::string> Gen3LightEngine::queryChannelMap() { return valuesOf(exchange("GET CHMAP")); }

std::string Gen3LightEngine::getModel() {
    const std::string command = "GET MODEL";
    const Reply reply = exchange(command);
    if (!reply.acknowledged) throw leFailure(command + " failed : " + reply.text);
    if (reply.tokens.size() < 2) throw leFailure("Invalid response : " + reply.text);
    std::string model;
    for (size_t i = 2; i < reply.tokens.size(); ++i) model += (i > 2 ? " " : "") + reply.tokens[i];
    return model;
}

std::string Gen3LightEngine::getSerialNumber() { return queryValue("GET SN"); }

std::string Gen3LightEngine::getVersion() { return queryValue("GET VER"); }

std::string Gen3LightEngine::getIP() { return queryValue("GET IP"); }

void Gen3LightEngine::setIP(const std::string& address) {
    const Reply reply = exchange("SET IP " + address);
    if (!reply.acknowledged) throw leFailure("Error : " + reply.text);
}

double Gen3LightEngine::getTemperature() { return replyDouble(queryValue("GET TEMP")); }

int Gen3LightEngine::getStatusCode() { return replyInt(queryValue("GET STAT")); }

int Gen3LightEngine::getMaximumIntensity() { return replyInt(queryValue("GET MAXINT")); }

int Gen3LightEngine::getNumberOfChannels() {
    const int count = replyInt(queryValue("GET NUMCH"));
    if (count < 0 || count > kMaxChannelCount)
        throw leFailure("Channel count out of range (0 to " + std::to_string(kMaxChannelCount) +
                        "): " + std::to_string(count));
    return count;
}

std::string Gen3LightEngine::getChannelName(int channel) {
    const auto names = queryChannelMap();
    if (channel < 0 || static_cast<size_t>(channel) >= names.size()) throwInvalidChannelIndex(channel);
    return names[static_cast<size_t>(channel)];
}

int Gen3LightEngine::getChannelIndex(const std::string& name) {
    const auto names = queryChannelMap();
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i] == name) return static_cast<int>(i);
    throwInvalidChannelName(name);
}

void Gen3LightEngine::setChannel(int channel, bool on) {
    sendSetting("SET CH " + std::to_string(channel) + " " + flag(on));
}

bool Gen3LightEngine::getChannel(int channel) { return replyInt(queryValue("GET CH " + std::to_string(channel))) != 0; }

void Gen3LightEngine::setMultipleChannels(const std::vector<bool>& on) {
    sendSetting("SET MULCH" + joinArguments(on, flag));
}

std::vector<bool> Gen3LightEngine::getMultipleChannels() {
    std::vector<bool> states;
    for (const auto& token : queryList("GET MULCH")) states.push_back(token == "1");
    return states;
}

void Gen3LightEngine::setIntensity(int channel, int intensity) {
    sendSetting("SET CHINT " + std::to_string(channel) + " " + std::to_string(intensity));
}

int Gen3LightEngine::getIntensity(int channel) { return replyInt(queryValue("GET CHINT " + std::to_string(channel))); }

int Gen3LightEngine::getChannelPowerCount(int channel) {
    return replyInt(queryValue("GET CHPWR " + std::to_string(channel)));
}

double Gen3LightEngine::getChannelPowerMW(int channel) {
    return replyDouble(queryValue("GET CHPWRWATTS " + std::to_string(channel)));
}

std::vector<int> Gen3LightEngine::getPowerReference() {
    std::vector<int> values;
    for (const auto& token : queryList("GET PWR")) values.push_back(replyInt(token));
    return values;
}

void Gen3LightEngine::setPowerReference(const std::vector<int>& reference) {
    sendSetting("SET PWR" + joinArguments(reference, [](int v) { return std::to_string(v); }));
}

void Gen3LightEngine::setPowerLock(bool on) { sendSetting("SET PWRLOCK " + flag(on)); }

bool Gen3LightEngine::getPowerLock() { return replyInt(queryValue("GET PWRLOCK")) != 0; }

void Gen3LightEngine::setMultipleIntensities(const std::vector<int>& intensity) {
    sendSetting("SET MULCHINT" + joinArguments(intensity, [](int v) { return std::to_string(v); }));
}

std::vector<int> Gen3LightEngine::getMultipleIntensities() {
    std::vector<int> values;
    for (const auto& token : queryList("GET MULCHINT")) values.push_back(replyInt(token));
    return values;
}

void Gen3LightEngine::wakeUp() { sendSetting("WAKEUP"); }

void Gen3LightEngine::setTTLEnable(bool on) { sendSetting("SET TTLENABLE " + flag(on)); }

bool Gen3LightEngine::getTTLEnable() { return replyInt(queryValue("GET TTLENABLE")) != 0; }

void Gen3LightEngine::setTTLPolarity(bool positive) { sendSetting(std::string("SET TTLPOL ") + (positive ? "POS" : "NEG")); }

bool Gen3LightEngine::getTTLPolarity() {
    const std::string value = queryValue("GET TTLPOL");
    return value == "POS" || value == "HIGH";
}

double Gen3LightEngine::getSupplyPowerW() { return replyDouble(queryValue("GET SUPPLYPOWER")); }

}  // namespace orvapi
