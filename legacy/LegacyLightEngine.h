#pragma once
// Driver for older light engines, driven only through the closed legacy-protocol library.
// It can switch channels and set intensities; it reads nothing back, so its getters answer
// from the channel table and from its own records of what it sent.
// No lock of its own: one engine is used by one thread at a time.
#include "engine/LastError.h"
#include "engine/LightEngine.h"
#include "legacy/OrvantaApi.h"

namespace orvapi {

class LegacyLightEngine : public LightEngine {
public:
    // The model name is kept as given; it is checked only when the engine connects.
    explicit LegacyLightEngine(std::string modelName);
    ~LegacyLightEngine() override;
    LegacyLightEngine(const LegacyLightEngine&) = delete;
    LegacyLightEngine& operator=(const LegacyLightEngine&) = delete;

    void connectTCP(const std::string& address, uint16_t port) override;
    void connectCOM(const std::string& portName, uint32_t baudRate) override;
    void disconnect() override;
    bool getConnected() override;

    std::string getModel() override;
    std::string getSerialNumber() override;
    std::string getVersion() override;
    std::string getIP() override;
    void setIP(const std::string& address) override;
    double getTemperature() override;
    int getStatusCode() override;
    int getMaximumIntensity() override;
    int getNumberOfChannels() override;
    std::string getChannelName(int channel) override;
    int getChannelIndex(const std::string& name) override;
    void setChannel(int channel, bool on) override;
    bool getChannel(int channel) override;
    void setMultipleChannels(const std::vector<bool>& on) override;
    std::vector<bool> getMultipleChannels() override;
    void setIntensity(int channel, int intensity) override;
    int getIntensity(int channel) override;
    int getChannelPowerCount(int channel) override;
    double getChannelPowerMW(int channel) override;
    std::vector<int> getPowerReference() override;
    void setPowerReference(const std::vector<int>& reference) override;
    void setPowerLock(bool on) override;
    bool getPowerLock() override;
    void setMultipleIntensities(const std::vector<int>& intensity) override;
    std::vector<int> getMultipleIntensities() override;
    void wakeUp() override;
    void setTTLEnable(bool on) override;
    bool getTTLEnable() override;
    void setTTLPolarity(bool positive) override;
    bool getTTLPolarity() override;
    double getSupplyPowerW() override;
    std::string executeCommand(const std::string& command) override;

    void setLastError(int code, const std::string& text) override;
    int getLastErrorCode() override;
    std::string getLastErrorText() override;
    void throwLeException() override;

private:
    // 0 <= channel < channel count, or "Invalid channel index".
    size_t checkedChannel(int channel) const;

    LastError lastError;
    OvDeviceHandle deviceHandle = nullptr;
    std::string model;
    std::vector<std::string> channelNames;
    std::vector<int> intensities;
    std::vector<bool> channelStates;
};

}  // namespace orvapi
