#pragma once
// A LightEngine whose every operation is a gmock method: lets API tests steer results and
// failures without any device.
#include <gmock/gmock.h>

#include "engine/LastError.h"
#include "engine/LightEngine.h"

namespace orvapi::testing {

class MockLightEngine : public LightEngine {
public:
    MOCK_METHOD(void, connectTCP, (const std::string&, uint16_t), (override));
    MOCK_METHOD(void, connectCOM, (const std::string&, uint32_t), (override));
    MOCK_METHOD(void, disconnect, (), (override));
    MOCK_METHOD(bool, getConnected, (), (override));
    MOCK_METHOD(std::string, getModel, (), (override));
    MOCK_METHOD(std::string, getSerialNumber, (), (override));
    MOCK_METHOD(std::string, getVersion, (), (override));
    MOCK_METHOD(std::string, getIP, (), (override));
    MOCK_METHOD(void, setIP, (const std::string&), (override));
    MOCK_METHOD(double, getTemperature, (), (override));
    MOCK_METHOD(int, getStatusCode, (), (override));
    MOCK_METHOD(int, getMaximumIntensity, (), (override));
    MOCK_METHOD(int, getNumberOfChannels, (), (override));
    MOCK_METHOD(std::string, getChannelName, (int), (override));
    MOCK_METHOD(int, getChannelIndex, (const std::string&), (override));
    MOCK_METHOD(void, setChannel, (int, bool), (override));
    MOCK_METHOD(bool, getChannel, (int), (override));
    MOCK_METHOD(void, setMultipleChannels, (const std::vector<bool>&), (override));
    MOCK_METHOD(std::vector<bool>, getMultipleChannels, (), (override));
    MOCK_METHOD(void, setIntensity, (int, int), (override));
    MOCK_METHOD(int, getIntensity, (int), (override));
    MOCK_METHOD(int, getChannelPowerCount, (int), (override));
    MOCK_METHOD(double, getChannelPowerMW, (int), (override));
    MOCK_METHOD(std::vector<int>, getPowerReference, (), (override));
    MOCK_METHOD(void, setPowerReference, (const std::vector<int>&), (override));
    MOCK_METHOD(void, setPowerLock, (bool), (override));
    MOCK_METHOD(bool, getPowerLock, (), (override));
    MOCK_METHOD(void, setMultipleIntensities, (const std::vector<int>&), (override));
    MOCK_METHOD(std::vector<int>, getMultipleIntensities, (), (override));
    MOCK_METHOD(void, wakeUp, (), (override));
    MOCK_METHOD(void, setTTLEnable, (bool), (override));
    MOCK_METHOD(bool, getTTLEnable, (), (override));
    MOCK_METHOD(void, setTTLPolarity, (bool), (override));
    MOCK_METHOD(bool, getTTLPolarity, (), (override));
    MOCK_METHOD(double, getSupplyPowerW, (), (override));
    MOCK_METHOD(std::string, executeCommand, (const std::string&), (override));
    MOCK_METHOD(void, throwLeException, (), (override));
    MOCK_METHOD(DriverFamily, driverFamily, (), (const, override));

    // The error state is real, so tests can read what the frame stored.
    void setLastError(int code, const std::string& text) override { lastError.set(code, text); }
    int getLastErrorCode() override { return lastError.code(); }
    std::string getLastErrorText() override { return lastError.text(); }

private:
    LastError lastError;
};

}  // namespace orvapi::testing
