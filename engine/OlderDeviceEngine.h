#pragma once
// What the drivers of the older devices (the TOVRA3 and the legacy protocol) share. Neither
// device reports anything back: channel states and intensities are answered from records of
// what was last sent, readings are constants, and everything the devices lack fails with
// "Function not supported by Legacy protocol.". A driver supplies its link, its model text and
// the two sends; the checks and the records are here.
// No lock: one such engine is used by one thread at a time (the last error excepted).
#include <string>
#include <vector>

#include "engine/DriverFailures.h"
#include "engine/LastError.h"
#include "engine/LightEngine.h"

namespace orvapi {

class OlderDeviceEngine : public LightEngine {
public:
    std::string getModel() override { return model; }
    double getTemperature() override { return 0.0; }
    int getStatusCode() override { return 0; }
    int getMaximumIntensity() override { return 100; }
    int getNumberOfChannels() override { return static_cast<int>(channelNames.size()); }
    std::string getChannelName(int channel) override;
    int getChannelIndex(const std::string& name) override;
    void setChannel(int channel, bool on) override;
    bool getChannel(int channel) override;
    // One setChannel per element, in order; the first failure ends it.
    void setMultipleChannels(const std::vector<bool>& on) override;
    std::vector<bool> getMultipleChannels() override { return channelStates; }
    void setIntensity(int channel, int intensity) override;
    int getIntensity(int channel) override;
    // One setIntensity per element, in order; the first failure ends it.
    void setMultipleIntensities(const std::vector<int>& intensity) override;
    std::vector<int> getMultipleIntensities() override { return intensities; }
    void wakeUp() override {}

    void connectTCP(const std::string&, uint16_t) override { throwNotSupported(); }
    std::string getSerialNumber() override { throwNotSupported(); }
    std::string getVersion() override { throwNotSupported(); }
    std::string getIP() override { throwNotSupported(); }
    void setIP(const std::string&) override { throwNotSupported(); }
    int getChannelPowerCount(int) override { throwNotSupported(); }
    double getChannelPowerMW(int) override { throwNotSupported(); }
    std::vector<int> getPowerReference() override { throwNotSupported(); }
    void setPowerReference(const std::vector<int>&) override { throwNotSupported(); }
    void setPowerLock(bool) override { throwNotSupported(); }
    bool getPowerLock() override { throwNotSupported(); }
    void setTTLEnable(bool) override { throwNotSupported(); }
    bool getTTLEnable() override { throwNotSupported(); }
    void setTTLPolarity(bool) override { throwNotSupported(); }
    bool getTTLPolarity() override { throwNotSupported(); }
    double getSupplyPowerW() override { throwNotSupported(); }
    std::string executeCommand(const std::string&) override { throwNotSupported(); }

    void setLastError(int code, const std::string& text) override { lastError.set(code, text); }
    int getLastErrorCode() override { return lastError.code(); }
    std::string getLastErrorText() override { return lastError.text(); }
    void throwLeException() override { throwTestException(); }

protected:
    explicit OlderDeviceEngine(std::string modelText) : model(std::move(modelText)) {}

    // Tell the device; the record is written afterwards, so a failed send records nothing.
    virtual void sendChannel(size_t index, bool on) = 0;
    virtual void sendIntensity(size_t index, int intensity) = 0;

    // 0 <= channel < channel count, or "Invalid channel index <channel>".
    size_t checkedChannel(int channel) const;

    const std::string model;
    // Index = channel. The channel count is the number of names; the records are sized by the
    // driver and never consulted for a bound.
    std::vector<std::string> channelNames;
    std::vector<int> intensities;
    std::vector<bool> channelStates;

private:
    LastError lastError;
};

}  // namespace orvapi
