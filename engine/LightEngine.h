#pragma once
// The one interface through which the exports and the script host drive a light source.
// Every capability is one virtual operation; a driver that lacks one implements it as a throw.
// Failures are reported by throwing orvapi::LeException (or, from the serial transport,
// std::runtime_error / std::system_error), never by return codes.
//
// Threads: a Gen3LightEngine may be called from several threads at once; its connects,
// disconnects and command transactions take turns on its engine lock, and each caller gets the
// reply to its own command. Tovra3LightEngine and LegacyLightEngine take no lock: one such
// engine is used by one thread at a time. On every driver the last error may be read from any
// thread while another call runs (see LastError).
#include <cstdint>
#include <string>
#include <vector>

namespace orvapi {

// The kinds of driver behind the interface.
enum class DriverFamily { TextProtocol, LegacyProtocol, Tovra3 };

class LightEngine {
public:
    virtual ~LightEngine() = default;

    // Link.
    virtual void connectTCP(const std::string& address, uint16_t port) = 0;
    virtual void connectCOM(const std::string& portName, uint32_t baudRate) = 0;
    virtual void disconnect() = 0;
    virtual bool getConnected() = 0;

    // Identity.
    virtual std::string getModel() = 0;
    virtual std::string getSerialNumber() = 0;
    virtual std::string getVersion() = 0;
    virtual std::string getIP() = 0;
    virtual void setIP(const std::string& address) = 0;

    // Readings and channel map.
    virtual double getTemperature() = 0;
    virtual int getStatusCode() = 0;
    virtual int getMaximumIntensity() = 0;
    virtual int getNumberOfChannels() = 0;
    virtual std::string getChannelName(int channel) = 0;
    virtual int getChannelIndex(const std::string& name) = 0;

    // Channels and intensities.
    virtual void setChannel(int channel, bool on) = 0;
    virtual bool getChannel(int channel) = 0;
    virtual void setMultipleChannels(const std::vector<bool>& on) = 0;
    virtual std::vector<bool> getMultipleChannels() = 0;
    virtual void setIntensity(int channel, int intensity) = 0;
    virtual int getIntensity(int channel) = 0;

    // Power.
    virtual int getChannelPowerCount(int channel) = 0;
    virtual double getChannelPowerMW(int channel) = 0;
    virtual std::vector<int> getPowerReference() = 0;
    virtual void setPowerReference(const std::vector<int>& reference) = 0;
    virtual void setPowerLock(bool on) = 0;
    virtual bool getPowerLock() = 0;
    virtual void setMultipleIntensities(const std::vector<int>& intensity) = 0;
    virtual std::vector<int> getMultipleIntensities() = 0;

    // Control.
    virtual void wakeUp() = 0;
    virtual void setTTLEnable(bool on) = 0;
    virtual bool getTTLEnable() = 0;
    virtual void setTTLPolarity(bool positive) = 0;
    virtual bool getTTLPolarity() = 0;
    virtual double getSupplyPowerW() = 0;
    virtual std::string executeCommand(const std::string& command) = 0;

    // Last error of this engine, written and read only by the API boundary.
    virtual void setLastError(int code, const std::string& text) = 0;
    virtual int getLastErrorCode() = 0;
    virtual std::string getLastErrorText() = 0;

    // For exercising the result and error paths of exports and scripts.
    virtual int getNumber();
    virtual std::string getString(int value);
    virtual void throwLeException() = 0;

    // Which driver this is, for the one export that must tell them apart.
    virtual DriverFamily driverFamily() const = 0;
};

}  // namespace orvapi
