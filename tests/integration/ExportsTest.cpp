// Every device export against the simulator, over TCP and over a pseudo-terminal where there is one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "tests/integration/SimulatedEngine.h"

using namespace photarc::testing;
using photarc::sim::Simulator;

namespace {

constexpr int32_t kChannels = 5;  // the simulator's default channel map
constexpr int32_t kMax = 1000;
const std::string kOverload = "Command is ignored because it would overload the power supply";

class Exports : public ::testing::TestWithParam<Transport> {
protected:
    Simulator simulator;
    SimulatedEngine engine{simulator, GetParam()};
    OrvHandle h = engine.handle();

    // What ends a raw reply: TCP keeps the device's line end, the serial framing drops it.
    std::string lineEnd() const { return GetParam() == Transport::Tcp ? "\r\n" : ""; }

    std::string text(int32_t (*getter)(OrvHandle, char*, int32_t)) {
        char buffer[128] = {};
        EXPECT_EQ(getter(h, buffer, sizeof buffer), PHOTARC_OK) << engine.lastErrorText();
        return buffer;
    }
    template <class T>
    T query(int32_t (*getter)(OrvHandle, T*)) {
        T value{};
        EXPECT_EQ(getter(h, &value), PHOTARC_OK) << engine.lastErrorText();
        return value;
    }
    template <class T>
    T channelQuery(int32_t (*getter)(OrvHandle, int32_t, T*), int32_t channel) {
        T value{};
        EXPECT_EQ(getter(h, channel, &value), PHOTARC_OK) << engine.lastErrorText();
        return value;
    }
    void ok(int32_t result) { EXPECT_EQ(result, PHOTARC_OK) << engine.lastErrorText(); }
    // A device failure: 11001 with the code and text the driver gave as the last error.
    void expectDeviceFailure(int32_t result, int32_t code, const std::string& text) {
        EXPECT_EQ(result, PHOTARC_DEVICE_FAILURE);
        EXPECT_EQ(engine.lastErrorCode(), code);
        EXPECT_EQ(engine.lastErrorText(), text);
    }
};

}  // namespace

TEST_P(Exports, IdentityAndReadings) {
    EXPECT_EQ(query(orv_getConnected), 1);
    EXPECT_EQ(text(orv_getModel), "PHOTARC SIM 5");
    EXPECT_EQ(text(orv_getSerialNumber), "PS5-000123");
    EXPECT_EQ(text(orv_getVersion), "3.4.1");
    EXPECT_EQ(text(orv_getIP), "192.168.10.20");
    ok(orv_setIP(h, "10.1.2.3"));
    EXPECT_EQ(text(orv_getIP), "10.1.2.3");
    expectDeviceFailure(orv_setIP(h, "10.1.2"), -1, "Error : E SET_IP_10.1.2 55" + lineEnd());

    EXPECT_EQ(query(orv_getMaximumIntensity), kMax);
    EXPECT_EQ(query(orv_getNumberOfChannels), kChannels);
    EXPECT_EQ(query(orv_getStatusCode), 0);
    EXPECT_DOUBLE_EQ(query(orv_getTemperature), 24.0);
    EXPECT_DOUBLE_EQ(query(orv_getSupplyPowerW), 12.0);

    // A text that exactly fills the buffer leaves no room for the NUL: the copy fails.
    char exact[12];
    expectDeviceFailure(orv_getModel(h, exact, sizeof exact), 34, "Error in string copy, probably buffer too small");
    EXPECT_EQ(exact[0], '\0');
}

TEST_P(Exports, ChannelMap) {
    char name[32] = {};
    ok(orv_getChannelName(h, 2, name, sizeof name));
    EXPECT_STREQ(name, "CYAN");
    int32_t index = -7;
    ok(orv_getChannelIndex(h, "RED", &index));
    EXPECT_EQ(index, 4);
    expectDeviceFailure(orv_getChannelName(h, kChannels, name, sizeof name), -1, "Invalid channel index 5");
    index = -7;
    expectDeviceFailure(orv_getChannelIndex(h, "red", &index), -1, "Invalid channel name red");
    EXPECT_EQ(index, -7);  // untouched on failure
}

TEST_P(Exports, SwitchingSinglyAndAllAtOnce) {
    ok(orv_setChannel(h, 1, 1));
    EXPECT_EQ(channelQuery(orv_getChannel, 1), 1);
    ok(orv_setChannel(h, 1, 2));  // only exactly 1 means on
    EXPECT_EQ(channelQuery(orv_getChannel, 1), 0);

    const int32_t states[kChannels] = {1, 0, 7, 1, -1};
    ok(orv_setMultipleChannels(h, states, kChannels));
    int32_t read[kChannels + 2];
    std::fill(std::begin(read), std::end(read), 9);
    ok(orv_getMultipleChannels(h, read, kChannels + 2));
    EXPECT_EQ(std::vector<int32_t>(read, read + kChannels + 2), (std::vector<int32_t>{1, 0, 0, 1, 0, 9, 9}));

    // The device judges list lengths.
    expectDeviceFailure(orv_setMultipleChannels(h, states, 0), 55, "Error : Invalid command argument(s)");
    expectDeviceFailure(orv_setChannel(h, kChannels, 1), 51, "Error : Invalid channel index");
    int32_t on = -3;
    expectDeviceFailure(orv_getChannel(h, -1, &on), 51, "Invalid channel index");
    EXPECT_EQ(on, -3);
}

TEST_P(Exports, IntensitiesSinglyAndAllAtOnce) {
    ok(orv_setIntensity(h, 3, 640));
    EXPECT_EQ(channelQuery(orv_getIntensity, 3), 640);
    expectDeviceFailure(orv_setIntensity(h, 0, kMax + 1), 55, "Error : Invalid command argument(s)");

    const int32_t levels[kChannels] = {10, 20, 30, 40, 50};
    ok(orv_setMultipleIntensities(h, levels, kChannels));
    int32_t read[3] = {0, 0, 0};
    ok(orv_getMultipleIntensities(h, read, 2));  // a smaller capacity writes only that many
    EXPECT_EQ(std::vector<int32_t>(read, read + 3), (std::vector<int32_t>{10, 20, 0}));
    EXPECT_EQ(channelQuery(orv_getIntensity, 4), 50);
}

TEST_P(Exports, OverloadingTheSupplyIsRefusedWithErrorSixtyThree) {
    const int32_t full[kChannels] = {kMax, kMax, kMax, kMax, kMax};
    const int32_t allOn[kChannels] = {1, 1, 1, 1, 1};
    ok(orv_setMultipleIntensities(h, full, kChannels));
    expectDeviceFailure(orv_setMultipleChannels(h, allOn, kChannels), 63, "Error : " + kOverload);
    ok(orv_setChannel(h, 0, 1));
    ok(orv_setChannel(h, 1, 1));
    ok(orv_setChannel(h, 2, 1));
    expectDeviceFailure(orv_setChannel(h, 3, 1), 63, "Error : " + kOverload);
    // A query refused by the device carries the bare table message.
    char reply[64];
    ok(orv_executeCommand(h, "GET NOSUCH", reply, sizeof reply));
    EXPECT_EQ(std::string(reply), "E GET_NOSUCH 53" + lineEnd());
}

TEST_P(Exports, PowerReadingsFollowIntensity) {
    ok(orv_setIntensity(h, 2, kMax / 2));
    EXPECT_EQ(channelQuery(orv_getChannelPowerCount, 2), 0);  // off: nothing measured
    EXPECT_DOUBLE_EQ(channelQuery(orv_getChannelPowerMW, 2), 0.0);
    ok(orv_setChannel(h, 2, 1));
    EXPECT_EQ(channelQuery(orv_getChannelPowerCount, 2), 2048);
    EXPECT_DOUBLE_EQ(channelQuery(orv_getChannelPowerMW, 2), 125.0);
    EXPECT_DOUBLE_EQ(query(orv_getSupplyPowerW), 27.0);
    EXPECT_GT(query(orv_getTemperature), 24.0);
}

TEST_P(Exports, PowerLockAndReference) {
    EXPECT_EQ(query(orv_getPowerLock), 0);
    ok(orv_setPowerLock(h, 1));
    EXPECT_EQ(query(orv_getPowerLock), 1);
    expectDeviceFailure(orv_setIntensity(h, 0, 5), 59, "Error : Set intensity failed because channel is under PID control");
    ok(orv_setPowerLock(h, 2));
    EXPECT_EQ(query(orv_getPowerLock), 0);

    const int32_t reference[kChannels] = {100, 200, 300, 400, 500};
    ok(orv_setPowerReference(h, reference, kChannels));
    int32_t* values = nullptr;
    int32_t count = 0;
    ok(orv_getPowerReference(h, &values, &count));
    ASSERT_EQ(count, kChannels);
    EXPECT_EQ(std::vector<int32_t>(values, values + count), std::vector<int32_t>(reference, reference + kChannels));
    std::free(values);

    const int32_t tooHigh[kChannels] = {1, 1, 1, 1, 5000};
    expectDeviceFailure(orv_setPowerReference(h, tooHigh, kChannels), 71, "Error : Power reference exceeds the limit");
}

TEST_P(Exports, TtlSettings) {
    EXPECT_EQ(query(orv_getTTLEnable), 0);
    ok(orv_setTTLEnable(h, 1));
    EXPECT_EQ(query(orv_getTTLEnable), 1);
    EXPECT_EQ(query(orv_getTTLPolarity), 1);
    ok(orv_setTTLPolarity(h, 0));
    EXPECT_EQ(query(orv_getTTLPolarity), 0);
    ok(orv_setTTLPolarity(h, 1));
    EXPECT_EQ(query(orv_getTTLPolarity), 1);
}

TEST_P(Exports, ShutDownWakeUpRestartAndRawCommands) {
    ok(orv_setChannel(h, 0, 1));
    ok(orv_shutDown(h));
    EXPECT_EQ(channelQuery(orv_getChannel, 0), 0);
    EXPECT_EQ(query(orv_getStatusCode), 1);
    expectDeviceFailure(orv_setChannel(h, 0, 1), 58, "Error : Light engine is busy");
    ok(orv_wakeUp(h));
    ok(orv_setChannel(h, 0, 1));
    ok(orv_setIntensity(h, 0, 300));
    ok(orv_restart(h));
    EXPECT_EQ(channelQuery(orv_getChannel, 0), 0);
    EXPECT_EQ(channelQuery(orv_getIntensity, 0), 0);

    char reply[64] = {};
    ok(orv_executeCommand(h, "GET CHMAP", reply, sizeof reply));
    EXPECT_EQ(std::string(reply), "A GET_CHMAP VIOLET BLUE CYAN GREEN RED" + lineEnd());
    // Too small a buffer fails instead of truncating.
    char small[8] = {'x'};
    EXPECT_EQ(orv_executeCommand(h, "GET CHMAP", small, sizeof small), PHOTARC_DEVICE_FAILURE);
    EXPECT_EQ(small[0], '\0');
}

TEST_P(Exports, DisconnectAndReconnect) {
    ok(orv_setIntensity(h, 1, 77));
    EXPECT_EQ(orv_disconnect(h), PHOTARC_OK);
    EXPECT_EQ(query(orv_getConnected), 0);
    int32_t value = -5;
    expectDeviceFailure(orv_getIntensity(h, 1, &value), -1, "Not connected");
    EXPECT_EQ(value, -5);
    EXPECT_EQ(orv_disconnect(h), PHOTARC_OK);  // nothing open: still fine

    EXPECT_EQ(engine.connect(), PHOTARC_OK);
    EXPECT_EQ(query(orv_getConnected), 1);
    EXPECT_EQ(channelQuery(orv_getIntensity, 1), 77);  // the device kept its state
    EXPECT_EQ(engine.lastErrorCode(), 0);
    EXPECT_EQ(engine.lastErrorText(), "");
}

INSTANTIATE_TEST_SUITE_P(Simulator, Exports, ::testing::ValuesIn(simulatedTransports()),
                         TransportName());
