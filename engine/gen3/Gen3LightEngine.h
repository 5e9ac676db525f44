#pragma once
// Driver for current devices speaking the line-based text protocol over serial or TCP.
// Every device operation is one command through executeCommand (called virtually, so tests
// can feed replies) whose reply is read once (Reply.h). The link and the transaction live in
// Gen3Connection.cpp, the command words in Gen3CommandSet.cpp.
#include <atomic>
#include <chrono>
#include <mutex>

#include "engine/LastError.h"
#include "engine/LightEngine.h"
#include "engine/gen3/Reply.h"
#include "link/SerialPort.h"
#include "link/TcpTransport.h"
#include "link/Timeouts.h"

namespace orvapi {

class Gen3LightEngine : public LightEngine {
public:
    explicit Gen3LightEngine(std::chrono::milliseconds replyTimeout = kReplyTimeout);
    ~Gen3LightEngine() override;
    Gen3LightEngine(const Gen3LightEngine&) = delete;
    Gen3LightEngine& operator=(const Gen3LightEngine&) = delete;

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
    DriverFamily driverFamily() const override { return DriverFamily::TextProtocol; }

private:
    // Reply patterns of the command set (one executeCommand each).
    Reply exchange(const std::string& command);
    std::string queryValue(const std::string& command);
    void sendSetting(const std::string& command);
    std::vector<std::string> queryList(const std::string& command);
    std::vector<std::string> queryChannelMap();

    // Closes both links; the caller holds engineMutex.
    void closeLinks();

    std::atomic<TcpSocket> tcpSocket{kNoTcpSocket};
    SerialPort serialLink;
    LastError lastError;
    std::mutex engineMutex;
    std::chrono::milliseconds replyTimeout;
};

}  // namespace orvapi
