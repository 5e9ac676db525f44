#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "legacy/LegacyLightEngine.h"
#include "sim/orvanta/OrvantaTestHooks.h"
#include "tests/legacy/OpenedDevice.h"
#include "tests/support/Failure.h"

using orvapi::LegacyLightEngine;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Strings = std::vector<std::string>;

namespace {

const char* const kUnsupported = "Function not supported by Legacy protocol.";

// The handle an "ovInit(...) = <handle>" record line reports.
std::string handleOf(const std::string& initCall) { return initCall.substr(initCall.rfind(' ') + 1); }

class LegacyEngineTest : public ::testing::Test {
protected:
    void SetUp() override { ovsimReset(); }
    void TearDown() override { ovsimReset(); }
};

}  // namespace

TEST_F(LegacyEngineTest, NewEngineAnswersWithoutTouchingTheLibrary) {
    {
        LegacyLightEngine engine("ZEFA2");
        EXPECT_FALSE(engine.getConnected());
        EXPECT_EQ(engine.getModel(), "ZEFA2");
        EXPECT_EQ(engine.getNumberOfChannels(), 0);
        EXPECT_THAT(engine.getMultipleIntensities(), IsEmpty());
        EXPECT_EQ(failureOf([&] { engine.getChannel(0); }), "Invalid channel index 0");
        EXPECT_EQ(failureOf([&] { engine.setIntensity(0, 5); }), "Invalid channel index 0");
        EXPECT_EQ(failureOf([&] { engine.getChannelIndex("CYAN"); }), "Invalid channel name CYAN");
        EXPECT_EQ(engine.getMaximumIntensity(), 100);
        EXPECT_NO_THROW(engine.wakeUp());
        EXPECT_EQ(failureOf([&] { engine.executeCommand("SHUTDOWN"); }), kUnsupported);
    }
    EXPECT_THAT(ovsim::calls(), IsEmpty());
}

TEST_F(LegacyEngineTest, VexorXOpensAsVexor7ButKeepsItsSixChannels) {
    LegacyLightEngine engine("VEXORX");
    engine.connectCOM("COM3", 9600);
    EXPECT_THAT(ovsim::calls(), ElementsAre(OpenedDevice(R"(2, "VEXOR7")")));
    EXPECT_TRUE(engine.getConnected());
    EXPECT_EQ(engine.getModel(), "VEXORX");
    Strings names;
    for (int i = 0; i < engine.getNumberOfChannels(); ++i) names.push_back(engine.getChannelName(i));
    EXPECT_EQ(names, (Strings{"VIOLET", "BLUE", "CYAN", "TEAL", "GREEN", "RED"}));
    EXPECT_EQ(failureOf([&] { engine.getChannelName(6); }), "Invalid channel index 6");
    EXPECT_EQ(engine.getChannelIndex("CYAN"), 2);
    EXPECT_EQ(failureOf([&] { engine.getChannelIndex("cyan"); }), "Invalid channel name cyan");
    EXPECT_EQ(engine.getMultipleChannels(), std::vector<bool>(6, false));
    EXPECT_EQ(failureOf([&] { engine.getSerialNumber(); }), kUnsupported);
}

TEST_F(LegacyEngineTest, RefusedConnectionsLeaveTheEngineUnconnected) {
    LegacyLightEngine engine("VEXOR7");
    for (const char* bad : {"com3", "COM", "", "/dev/ttyS0"})
        EXPECT_EQ(failureOf([&] { engine.connectCOM(bad, 9600); }), "Invalid port name, must look like COM1.") << bad;
    EXPECT_THAT(ovsim::calls(), IsEmpty());

    LegacyLightEngine unknown("vexorx");
    EXPECT_EQ(failureOf([&] { unknown.connectCOM("COM1", 9600); }), "Unrecognized model vexorx");
    EXPECT_THAT(ovsim::calls(), IsEmpty());

    // Our library accepts ports 0 to 15 only; an absurd number saturates instead of overflowing.
    for (const char* port : {"COMX", "COM17", "COM99999999999999999999"})
        EXPECT_EQ(failureOf([&] { engine.connectCOM(port, 9600); }), "Invalid model or com port specified.") << port;
    EXPECT_THAT(ovsim::calls(), ElementsAre(R"(ovInit(-1, "VEXOR7") = 0)", R"(ovInit(16, "VEXOR7") = 0)",
                                            R"(ovInit(2147483646, "VEXOR7") = 0)"));
    EXPECT_FALSE(engine.getConnected());
    EXPECT_EQ(engine.getNumberOfChannels(), 0);
    EXPECT_EQ(engine.getMultipleIntensities(), std::vector<int>(7, 0));
}

TEST_F(LegacyEngineTest, ReconnectClosesTheOldHandleFirst) {
    LegacyLightEngine engine("KORV");
    engine.connectCOM("COM1", 9600);
    engine.connectCOM("COM12", 9600);
    const Strings calls = ovsim::calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[1], "ovShutDown(" + handleOf(calls[0]) + ")");
    EXPECT_THAT(calls[2], OpenedDevice(R"(11, "KORV")"));

    // A failing reconnect still closes the open device first.
    ovsimReset();
    EXPECT_EQ(failureOf([&] { engine.connectCOM("COM", 9600); }), "Invalid port name, must look like COM1.");
    EXPECT_THAT(ovsim::calls(), ElementsAre("ovShutDown(" + handleOf(calls[2]) + ")"));
    EXPECT_FALSE(engine.getConnected());
}

TEST_F(LegacyEngineTest, SwitchingAndDimmingPassTheChannelNameAndText) {
    LegacyLightEngine engine("ZEFA2");
    engine.connectCOM("COM1", 9600);
    ovsimReset();
    engine.setChannel(1, true);
    engine.setChannel(1, false);
    engine.setIntensity(0, 100);
    EXPECT_EQ(failureOf([&] { engine.setIntensity(0, 101); }), "Invalid intensity 101");
    EXPECT_EQ(failureOf([&] { engine.setIntensity(0, -1); }), "Invalid intensity -1");
    EXPECT_EQ(failureOf([&] { engine.setChannel(5, true); }), "Invalid channel index 5");
    EXPECT_THAT(ovsim::calls(), ElementsAre(R"(ovColorEnable("CYAN", "ON"))", R"(ovColorEnable("CYAN", "OFF"))",
                                            R"(ovColorLevel("VIOLET", "100"))"));
    EXPECT_FALSE(engine.getChannel(1));
    EXPECT_EQ(engine.getIntensity(0), 100);
}

TEST_F(LegacyEngineTest, MultiChannelUpdatesStopAtTheFirstFailure) {
    LegacyLightEngine engine("VEXORX");
    engine.connectCOM("COM2", 9600);
    ovsimReset();
    EXPECT_EQ(failureOf([&] { engine.setMultipleIntensities({1, 2, 3, 4, 5, 6, 7, 8}); }), "Invalid channel index 6");
    EXPECT_EQ(ovsim::calls().size(), 6u);
    EXPECT_EQ(ovsim::calls().back(), R"(ovColorLevel("RED", "6"))");
    EXPECT_EQ(engine.getMultipleIntensities(), (std::vector<int>{1, 2, 3, 4, 5, 6}));

    ovsimReset();
    EXPECT_EQ(failureOf([&] { engine.setMultipleIntensities({10, 200, 30}); }), "Invalid intensity 200");
    EXPECT_THAT(ovsim::calls(), ElementsAre(R"(ovColorLevel("VIOLET", "10"))"));
    EXPECT_EQ(engine.getMultipleIntensities(), (std::vector<int>{10, 2, 3, 4, 5, 6}));

    // A short list changes only the first channels.
    engine.setMultipleChannels({true, true});
    EXPECT_EQ(engine.getMultipleChannels(), (std::vector<bool>{true, true, false, false, false, false}));
}

TEST_F(LegacyEngineTest, DeletingAConnectedEngineShutsItDownOnce) {
    auto engine = std::make_unique<LegacyLightEngine>("MESKO");
    engine->connectCOM("COM4", 9600);
    EXPECT_EQ(engine->getChannelName(0), "WHITE");
    const std::string init = ovsim::calls().at(0);
    engine.reset();
    EXPECT_THAT(ovsim::calls(), ElementsAre(init, "ovShutDown(" + handleOf(init) + ")"));

    // Disconnected first: the destructor has nothing left to close.
    ovsimReset();
    engine = std::make_unique<LegacyLightEngine>("TOVRA");
    engine->connectCOM("COM4", 9600);
    engine->disconnect();
    engine.reset();
    EXPECT_EQ(ovsim::calls().size(), 2u);
}
