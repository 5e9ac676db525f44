// Hostile arguments at the boundary: null handles and null pointers never crash the host.
#include <gtest/gtest.h>

#include "api/photarc.h"
#include "tests/support/MockLightEngine.h"

using orvapi::testing::MockLightEngine;

TEST(NullHandle, EveryFamilyFailsWithoutTouchingAnything) {
    int32_t value = 5;
    double real = 1.0;
    char text[16] = "same";
    int32_t* array = nullptr;
    EXPECT_EQ(orv_connectCOM(nullptr, "COM1", 9600), 11004);
    EXPECT_EQ(orv_connectTCP(nullptr, "127.0.0.1", 1), 11004);
    EXPECT_EQ(orv_disconnect(nullptr), 11004);
    EXPECT_EQ(orv_getConnected(nullptr, &value), 11001);
    EXPECT_EQ(orv_getIntensity(nullptr, 0, &value), 11001);
    EXPECT_EQ(orv_getTemperature(nullptr, &real), 11001);
    EXPECT_EQ(orv_getModel(nullptr, text, sizeof text), 11001);
    EXPECT_EQ(orv_getPowerReference(nullptr, &array, &value), 11001);
    EXPECT_EQ(orv_shutDown(nullptr), 11001);
    EXPECT_EQ(orv_getLastErrorCode(nullptr, &value), 11001);
    EXPECT_EQ(orv_getLastErrorText(nullptr, text, sizeof text), 11001);
    EXPECT_EQ(orv_resetError(nullptr), 11001);
    EXPECT_EQ(orv_getLegacy(nullptr, &value), 11001);
    EXPECT_EQ(value, 5);
    EXPECT_EQ(real, 1.0);
    EXPECT_STREQ(text, "same");
    EXPECT_EQ(array, nullptr);
    EXPECT_EQ(orv_deleteLightEngine(nullptr), 0);
}

TEST(NullPointer, DeviceFamilyStoresInvalidArgument) {
    ::testing::NiceMock<MockLightEngine> engine;
    EXPECT_CALL(engine, setIP(::testing::_)).Times(0);
    const auto expectNullFailure = [&](int32_t result) {
        EXPECT_EQ(result, 11001);
        EXPECT_EQ(engine.getLastErrorCode(), 22);
        EXPECT_EQ(engine.getLastErrorText(), "Invalid argument: null pointer");
    };
    expectNullFailure(orv_getIntensity(&engine, 0, nullptr));
    expectNullFailure(orv_getTemperature(&engine, nullptr));
    expectNullFailure(orv_getConnected(&engine, nullptr));
    expectNullFailure(orv_setIP(&engine, nullptr));
    expectNullFailure(orv_getChannelIndex(&engine, nullptr, nullptr));
    expectNullFailure(orv_setMultipleIntensities(&engine, nullptr, 3));
    expectNullFailure(orv_getMultipleChannels(&engine, nullptr, 2));
    int32_t count = 0;
    expectNullFailure(orv_getPowerReference(&engine, nullptr, &count));
    expectNullFailure(orv_executeCommand(&engine, nullptr, nullptr, 0));
}

TEST(NullPointer, ConnectionFamilyStoresItsOwnCode) {
    ::testing::NiceMock<MockLightEngine> engine;
    EXPECT_CALL(engine, connectCOM(::testing::_, ::testing::_)).Times(0);
    EXPECT_EQ(orv_connectCOM(&engine, nullptr, 9600), 11004);
    EXPECT_EQ(engine.getLastErrorCode(), 11004);
    EXPECT_EQ(engine.getLastErrorText(), "Invalid argument: null pointer");
    EXPECT_EQ(orv_connectTCP(&engine, nullptr, 1), 11004);
    EXPECT_EQ(engine.getLastErrorCode(), 11004);
}

TEST(NullPointer, CreateWithoutOutPointerCreatesNothing) {
    EXPECT_EQ(orv_createLightEngine(nullptr), 11001);
    EXPECT_EQ(orv_createLegacyLightEngine(nullptr, 1), 11001);
    EXPECT_EQ(orv_createLegacyLightEngineByName(nullptr, "KORV"), 11001);
}

TEST(NullPointer, ErrorReadersRefuseNullOutput) {
    ::testing::NiceMock<MockLightEngine> engine;
    engine.setLastError(4, "four");
    EXPECT_EQ(orv_getLastErrorCode(&engine, nullptr), 11001);
    EXPECT_EQ(orv_getLastErrorText(&engine, nullptr, 10), 11005);
    EXPECT_EQ(engine.getLastErrorCode(), 4);
}

TEST(NullPointer, FailingErrorStoreDoesNotEscape) {
    // An engine whose setLastError itself throws (e.g. a lock failure) still gets a result.
    struct Throwing : ::testing::NiceMock<MockLightEngine> {
        void setLastError(int, const std::string&) override { throw std::runtime_error("lock failed"); }
    } engine;
    EXPECT_CALL(engine, getIntensity(0)).WillOnce(::testing::Throw(std::runtime_error("x")));
    int32_t value = 0;
    EXPECT_EQ(orv_getIntensity(&engine, 0, &value), 11001);
    EXPECT_EQ(orv_resetError(&engine), 0);
}

TEST(Handles, CreateAndDeleteACurrentDeviceEngine) {
    OrvHandle handle = nullptr;
    ASSERT_EQ(orv_createLightEngine(&handle), 0);
    ASSERT_NE(handle, nullptr);
    int32_t code = 99, connected = 99, value = 99;
    EXPECT_EQ(orv_getLastErrorCode(handle, &code), 0);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(orv_getConnected(handle, &connected), 0);
    EXPECT_EQ(connected, 0);
    EXPECT_EQ(orv_getIntensity(handle, 2, &value), 11001);
    char text[64];
    EXPECT_EQ(orv_getLastErrorText(handle, text, sizeof text), 0);
    EXPECT_STREQ(text, "Not connected");
    EXPECT_EQ(orv_disconnect(handle), 0);
    EXPECT_EQ(orv_deleteLightEngine(handle), 0);
}
