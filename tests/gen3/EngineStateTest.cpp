// A text-protocol engine's own state without any link: its last error, the test exception,
// "Not connected", and the base operations every driver shares.
#include <gtest/gtest.h>

#include <climits>

#include "engine/gen3/Gen3LightEngine.h"
#include "link/LeException.h"

using namespace orvapi;

TEST(LightEngineBase, GetStringAndGetNumber) {
    Gen3LightEngine engine;
    EXPECT_EQ(engine.getNumber(), 42);
    EXPECT_EQ(engine.getString(0), "0");
    EXPECT_EQ(engine.getString(-17), "-17");
    EXPECT_EQ(engine.getString(123), "123");
    EXPECT_EQ(engine.getString(INT_MIN), "-2147483648");
    EXPECT_EQ(engine.getString(INT_MAX), "2147483647");
}

TEST(Gen3Engine, FreshEngineState) {
    Gen3LightEngine engine;
    EXPECT_EQ(engine.getLastErrorCode(), 0);
    EXPECT_EQ(engine.getLastErrorText(), "");
    EXPECT_FALSE(engine.getConnected());
    engine.disconnect();
    EXPECT_FALSE(engine.getConnected());
}

TEST(Gen3Engine, LastErrorIsReplacedWhole) {
    Gen3LightEngine engine;
    engine.setLastError(5, "five");
    EXPECT_EQ(engine.getLastErrorCode(), 5);
    EXPECT_EQ(engine.getLastErrorText(), "five");
    engine.setLastError(7, "");
    EXPECT_EQ(engine.getLastErrorCode(), 7);
    EXPECT_EQ(engine.getLastErrorText(), "");
}

TEST(Gen3Engine, TestExceptionAndNotConnected) {
    Gen3LightEngine engine;
    try {
        engine.throwLeException();
        FAIL() << "no exception";
    } catch (const LeException& e) {
        EXPECT_EQ(e.code, -1);
        EXPECT_EQ(e.description, "Test exception thrown by light engine.");
    }
    try {
        engine.getIntensity(2);
        FAIL() << "no exception";
    } catch (const LeException& e) {
        EXPECT_EQ(e.code, -1);
        EXPECT_EQ(e.description, "Not connected");
    }
}
