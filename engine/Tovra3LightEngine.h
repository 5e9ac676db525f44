#pragma once
// Driver for the TOVRA3: one white channel, write-only byte commands over a serial port.
// The device never answers, so every query is answered from what this driver last sent.
// No lock of its own: one engine is used by one thread at a time.
#include "engine/LastError.h"
#include "engine/LightEngine.h"
#include "link/SerialPort.h"

namespace orvapi {

class Tovra3LightEngine : public LightEngine {
public:
    Tovra3LightEngine() = default;
    ~Tovra3LightEngine() override;
    Tovra3LightEngine(const Tovra3LightEngine&) = delete;
    Tovra3LightEngine& operator=(const Tovra3LightEngine&) = delete;

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
    // One write, then the pause the device needs before it takes the next command.
    void send(const std::string& bytes);

    LastError lastError;
    int intensity = 0;
    bool channelOn = false;
    SerialPort serialLink;
};

}  // namespace orvapi
