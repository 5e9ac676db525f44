#pragma once
// Driver for the TOVRA3: one white channel, write-only byte commands over a serial port.
// The device never answers, so every query is answered from what this driver last sent.
#include "engine/OlderDeviceEngine.h"
#include "link/SerialPort.h"

namespace orvapi {

class Tovra3LightEngine : public OlderDeviceEngine {
public:
    Tovra3LightEngine();
    ~Tovra3LightEngine() override;
    Tovra3LightEngine(const Tovra3LightEngine&) = delete;
    Tovra3LightEngine& operator=(const Tovra3LightEngine&) = delete;

    // Initialises the device and leaves it dark, with the records in step.
    void connectCOM(const std::string& portName, uint32_t baudRate) override;
    // Closes the port; the records stay.
    void disconnect() override;
    bool getConnected() override;

    // "WHITE" whatever the channel.
    std::string getChannelName(int channel) override;
    // Exactly one element; its command goes out twice.
    void setMultipleChannels(const std::vector<bool>& on) override;
    // Exactly one element.
    void setMultipleIntensities(const std::vector<int>& intensity) override;
    DriverFamily driverFamily() const override { return DriverFamily::Tovra3; }

private:
    void sendChannel(size_t index, bool on) override;
    void sendIntensity(size_t index, int intensity) override;
    // One write, then the pause the device needs before it takes the next command.
    void send(const std::string& bytes);

    SerialPort serialLink;
};

}  // namespace orvapi
