// The export frames against a mock engine: last error handling, result codes, out-arguments.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>

#include "api/photarc.h"
#include "link/LeException.h"
#include "tests/support/MockLightEngine.h"

using namespace orvapi;
using orvapi::testing::MockLightEngine;
using ::testing::Return;
using ::testing::Throw;

namespace {

class Frame : public ::testing::Test {
protected:
    ::testing::NiceMock<MockLightEngine> engine;
    OrvHandle handle = &engine;

    int32_t lastCode() {
        int32_t code = 12345;
        EXPECT_EQ(orv_getLastErrorCode(handle, &code), 0);
        return code;
    }
    std::string lastText() {
        char text[1000];
        EXPECT_EQ(orv_getLastErrorText(handle, text, sizeof text), 0);
        return text;
    }
};

}  // namespace

TEST_F(Frame, SuccessClearsAnEarlierFailure) {
    engine.setLastError(63, "earlier");
    EXPECT_CALL(engine, getIntensity(2)).WillOnce(Return(500));
    int32_t value = 0;
    EXPECT_EQ(orv_getIntensity(handle, 2, &value), 0);
    EXPECT_EQ(value, 500);
    EXPECT_EQ(lastCode(), 0);
    EXPECT_EQ(lastText(), "");
}

TEST_F(Frame, DeviceFailureStoresTheExceptionsCodeAndLeavesOutputAlone) {
    EXPECT_CALL(engine, getIntensity(1)).WillOnce(Throw(LeException("Invalid channel index", 51)));
    int32_t value = 77;
    EXPECT_EQ(orv_getIntensity(handle, 1, &value), 11001);
    EXPECT_EQ(value, 77);
    EXPECT_EQ(lastCode(), 51);
    EXPECT_EQ(lastText(), "Invalid channel index");
    // Reading does not clear; reading twice gives the same.
    EXPECT_EQ(lastCode(), 51);
    EXPECT_EQ(lastText(), "Invalid channel index");
    EXPECT_EQ(orv_resetError(handle), 0);
    EXPECT_EQ(lastCode(), 0);
    EXPECT_EQ(lastText(), "");
}

TEST_F(Frame, DeviceFamilyNeverLetsOtherExceptionsOut) {
    EXPECT_CALL(engine, getTemperature())
        .WillOnce(Throw(std::runtime_error("Failed to read data from serial port X (gone)")))
        .WillOnce(Throw(42));
    double temperature = 1.5;
    EXPECT_EQ(orv_getTemperature(handle, &temperature), 11001);
    EXPECT_EQ(lastCode(), -1);
    EXPECT_EQ(lastText(), "Failed to read data from serial port X (gone)");
    EXPECT_EQ(orv_getTemperature(handle, &temperature), 11001);
    EXPECT_EQ(lastCode(), -1);
    EXPECT_EQ(lastText(), "Unknown error occurred.");
    EXPECT_EQ(temperature, 1.5);
}

TEST_F(Frame, ConnectionFamilyStoresItsOwnCode) {
    EXPECT_CALL(engine, connectCOM("COM3", 115200u)).WillOnce(Throw(LeException("bad port", 7)));
    EXPECT_EQ(orv_connectCOM(handle, "COM3", 115200), 11004);
    EXPECT_EQ(lastCode(), 11004);
    EXPECT_EQ(lastText(), "bad port");

    EXPECT_CALL(engine, connectTCP("10.0.0.1", 8095)).WillOnce(Throw(std::runtime_error("refused")));
    EXPECT_EQ(orv_connectTCP(handle, "10.0.0.1", 8095), 11004);
    EXPECT_EQ(lastCode(), 11004);
    EXPECT_EQ(lastText(), "refused");

    EXPECT_CALL(engine, disconnect()).WillOnce(Throw(3.5)).WillOnce(Return());
    EXPECT_EQ(orv_disconnect(handle), 11004);
    EXPECT_EQ(lastCode(), 11004);
    EXPECT_EQ(lastText(), "Unknown error occurred.");
    EXPECT_EQ(orv_disconnect(handle), 0);
    EXPECT_EQ(lastCode(), 0);
}

TEST_F(Frame, FlagsMeanTrueOnlyForOne) {
    ::testing::InSequence order;
    EXPECT_CALL(engine, setChannel(3, true));
    EXPECT_CALL(engine, setChannel(3, false)).Times(3);
    EXPECT_CALL(engine, setPowerLock(false));
    EXPECT_CALL(engine, setTTLEnable(true));
    EXPECT_CALL(engine, setTTLPolarity(false));
    EXPECT_CALL(engine, setMultipleChannels(std::vector<bool>{true, false, false, false}));
    EXPECT_EQ(orv_setChannel(handle, 3, 1), 0);
    EXPECT_EQ(orv_setChannel(handle, 3, 2), 0);
    EXPECT_EQ(orv_setChannel(handle, 3, 0), 0);
    EXPECT_EQ(orv_setChannel(handle, 3, -1), 0);
    EXPECT_EQ(orv_setPowerLock(handle, 2), 0);
    EXPECT_EQ(orv_setTTLEnable(handle, 1), 0);
    EXPECT_EQ(orv_setTTLPolarity(handle, 255), 0);
    const int32_t states[] = {1, 2, 0, -1};
    EXPECT_EQ(orv_setMultipleChannels(handle, states, 4), 0);
}

TEST_F(Frame, FlagsComeOutAsOneOrZero) {
    EXPECT_CALL(engine, getChannel(0)).WillOnce(Return(true));
    EXPECT_CALL(engine, getPowerLock()).WillOnce(Return(false));
    EXPECT_CALL(engine, getMultipleChannels()).WillOnce(Return(std::vector<bool>{true, false, true}));
    int32_t on = 9, locked = 9, states[3] = {9, 9, 9};
    EXPECT_EQ(orv_getChannel(handle, 0, &on), 0);
    EXPECT_EQ(orv_getPowerLock(handle, &locked), 0);
    EXPECT_EQ(orv_getMultipleChannels(handle, states, 3), 0);
    EXPECT_EQ(on, 1);
    EXPECT_EQ(locked, 0);
    EXPECT_THAT(states, ::testing::ElementsAre(1, 0, 1));
}

TEST_F(Frame, ArraysGoingInTakeExactlyCountElements) {
    ::testing::InSequence order;
    EXPECT_CALL(engine, setMultipleIntensities(std::vector<int>{5, 6}));
    EXPECT_CALL(engine, setMultipleIntensities(std::vector<int>{})).Times(2);
    EXPECT_CALL(engine, setPowerReference(std::vector<int>{-1, 0, 7}));
    const int32_t values[] = {5, 6, 7};
    EXPECT_EQ(orv_setMultipleIntensities(handle, values, 2), 0);
    EXPECT_EQ(orv_setMultipleIntensities(handle, values, 0), 0);
    EXPECT_EQ(orv_setMultipleIntensities(handle, nullptr, -4), 0);
    const int32_t references[] = {-1, 0, 7};
    EXPECT_EQ(orv_setPowerReference(handle, references, 3), 0);
}

TEST_F(Frame, ArraysComingOutStopAtTheShorterLength) {
    EXPECT_CALL(engine, getMultipleIntensities()).WillRepeatedly(Return(std::vector<int>{10, 20, 30}));
    int32_t wide[5] = {-1, -1, -1, -1, -1};
    EXPECT_EQ(orv_getMultipleIntensities(handle, wide, 5), 0);
    EXPECT_THAT(wide, ::testing::ElementsAre(10, 20, 30, -1, -1));
    int32_t narrow[3] = {-1, -1, -1};
    EXPECT_EQ(orv_getMultipleIntensities(handle, narrow, 2), 0);
    EXPECT_THAT(narrow, ::testing::ElementsAre(10, 20, -1));
    int32_t untouched[2] = {-1, -1};
    EXPECT_EQ(orv_getMultipleIntensities(handle, untouched, -3), 0);
    EXPECT_THAT(untouched, ::testing::ElementsAre(-1, -1));
}

TEST_F(Frame, PowerReferenceIsANewCallerOwnedArray) {
    EXPECT_CALL(engine, getPowerReference())
        .WillOnce(Return(std::vector<int>{100, -5, 7}))
        .WillOnce(Return(std::vector<int>{}));
    int32_t* array = nullptr;
    int32_t count = -1;
    EXPECT_EQ(orv_getPowerReference(handle, &array, &count), 0);
    ASSERT_NE(array, nullptr);
    ASSERT_EQ(count, 3);
    EXPECT_EQ(array[0], 100);
    EXPECT_EQ(array[1], -5);
    EXPECT_EQ(array[2], 7);
    free(array);
    array = nullptr;
    EXPECT_EQ(orv_getPowerReference(handle, &array, &count), 0);
    EXPECT_EQ(count, 0);
    EXPECT_NE(array, nullptr);  // always something the caller may free
    free(array);
}

TEST_F(Frame, ShutDownAndRestartIgnoreTheReply) {
    EXPECT_CALL(engine, executeCommand("SHUTDOWN")).WillOnce(Return("E X 53"));
    EXPECT_CALL(engine, executeCommand("REBOOT")).WillOnce(Return(""));
    EXPECT_EQ(orv_shutDown(handle), 0);
    EXPECT_EQ(orv_restart(handle), 0);
    EXPECT_CALL(engine, executeCommand("SHUTDOWN")).WillOnce(Throw(LeException("Not connected", "", "")));
    EXPECT_EQ(orv_shutDown(handle), 11001);
    EXPECT_EQ(lastText(), "Not connected");
}

TEST_F(Frame, RawCommandReplyIsCopiedWholeOrNotAtAll) {
    EXPECT_CALL(engine, executeCommand("GET MODEL")).WillRepeatedly(Return("A MODEL X\r\n"));
    char reply[64];
    EXPECT_EQ(orv_executeCommand(handle, "GET MODEL", reply, sizeof reply), 0);
    EXPECT_STREQ(reply, "A MODEL X\r\n");
    char small[5] = "abcd";
    EXPECT_EQ(orv_executeCommand(handle, "GET MODEL", small, sizeof small), 11001);
    EXPECT_STREQ(small, "");
    EXPECT_EQ(lastCode(), 34);
}

TEST_F(Frame, GetConnectedClearsAndReports) {
    engine.setLastError(9, "old");
    EXPECT_CALL(engine, getConnected()).WillOnce(Return(false)).WillOnce(Return(true));
    int32_t connected = 7;
    EXPECT_EQ(orv_getConnected(handle, &connected), 0);
    EXPECT_EQ(connected, 0);
    EXPECT_EQ(lastCode(), 0);
    EXPECT_EQ(orv_getConnected(handle, &connected), 0);
    EXPECT_EQ(connected, 1);
}
