#pragma once
// Driver for older light engines, driven only through the closed legacy-protocol library.
// It can switch channels and set intensities; it reads nothing back, so its getters answer
// from the channel table and from its own records of what it sent.
#include "engine/OlderDeviceEngine.h"
#include "legacy/OrvantaApi.h"

namespace orvapi {

class LegacyLightEngine : public OlderDeviceEngine {
public:
    // The model name is kept as given; it is checked only when the engine connects.
    explicit LegacyLightEngine(std::string modelName);
    ~LegacyLightEngine() override;
    LegacyLightEngine(const LegacyLightEngine&) = delete;
    LegacyLightEngine& operator=(const LegacyLightEngine&) = delete;

    // Closes an open device first; then checks the port name and the model, and opens the
    // device through the closed library. The baud rate is not used.
    void connectCOM(const std::string& portName, uint32_t baudRate) override;
    // Closes the device and forgets its channels. Never fails.
    void disconnect() override;
    bool getConnected() override;
    DriverFamily driverFamily() const override { return DriverFamily::LegacyProtocol; }

private:
    // The library's results are not examined: the records follow the requests.
    void sendChannel(size_t index, bool on) override;
    void sendIntensity(size_t index, int intensity) override;

    OvDeviceHandle deviceHandle = nullptr;
};

}  // namespace orvapi
