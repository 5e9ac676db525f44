#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <stdexcept>

#include "engine/tovra3/Tovra3LightEngine.h"
#include "tests/link/PtyDevice.h"
#include "tests/support/Failure.h"

using namespace std::chrono_literals;
using orvapi::Tovra3LightEngine;

namespace {

std::string hex(const std::string& bytes) {
    std::string text;
    for (unsigned char byte : bytes) {
        char digits[4];
        std::snprintf(digits, sizeof digits, text.empty() ? "%02X" : " %02X", byte);
        text += digits;
    }
    return text;
}

size_t byteCount(const std::string& hexText) { return (hexText.size() + 1) / 3; }

template <class Operation>
std::chrono::milliseconds timed(Operation&& operation) {
    const auto start = std::chrono::steady_clock::now();
    operation();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
}

const std::string kOn = "4F 7D 50";
const std::string kOff = "4F 7F 50";

class Tovra3Test : public ::testing::Test {
protected:
    void SetUp() override {
        engine.connectCOM(device.path(), 9600);
        connectBytes = hex(device.readBytes(18));
    }
    // What the device received next, expecting the given bytes.
    std::string sent(const std::string& expected) { return hex(device.readBytes(byteCount(expected))); }

    photarc::testing::PtyDevice device;
    Tovra3LightEngine engine;
    std::string connectBytes;
};

}  // namespace

TEST_F(Tovra3Test, ConnectInitialisesAndDarkensTheDevice) {
    EXPECT_EQ(connectBytes, "57 02 FF 50 57 03 FD 50 53 18 03 04 FF F0 50 " + kOff);
    EXPECT_TRUE(engine.getConnected());
    EXPECT_EQ(engine.getIntensity(0), 0);
    EXPECT_FALSE(engine.getChannel(0));
}

TEST_F(Tovra3Test, IntensityCommandCarriesTheInvertedLevel) {
    const std::pair<int, std::string> worked[] = {
        {0, "FF F0"}, {1, "FF D0"}, {10, "FE 60"}, {50, "F7 F0"}, {99, "F0 20"}, {100, "F0 00"}};
    for (const auto& [percent, level] : worked) {
        engine.setIntensity(0, percent);
        EXPECT_EQ(sent("53 18 03 04 " + level + " 50"), "53 18 03 04 " + level + " 50") << percent;
        EXPECT_EQ(engine.getIntensity(0), percent);
    }
}

TEST_F(Tovra3Test, SwitchingSendsOneCommandAndRecordsIt) {
    engine.setChannel(0, true);
    EXPECT_EQ(sent(kOn), kOn);
    EXPECT_TRUE(engine.getChannel(0));
    engine.setChannel(0, false);
    EXPECT_EQ(sent(kOff), kOff);
    EXPECT_EQ(engine.getMultipleChannels(), std::vector<bool>{false});
}

TEST_F(Tovra3Test, SetMultipleChannelsSendsItsCommandTwice) {
    engine.setMultipleChannels({true});
    EXPECT_EQ(sent(kOn + " " + kOn), kOn + " " + kOn);
    EXPECT_TRUE(engine.getChannel(0));
    engine.setMultipleIntensities({10});
    EXPECT_EQ(sent("53 18 03 04 FE 60 50"), "53 18 03 04 FE 60 50");
}

TEST_F(Tovra3Test, RefusedArgumentsSendAndRecordNothing) {
    engine.setIntensity(0, 10);
    sent("53 18 03 04 FE 60 50");

    EXPECT_EQ(failureOf([&] { engine.setIntensity(0, 101); }), "Invalid intensity 101");
    EXPECT_EQ(failureOf([&] { engine.setIntensity(0, -1); }), "Invalid intensity -1");
    EXPECT_EQ(failureOf([&] { engine.setIntensity(1, 50); }), "Invalid channel index 1");
    EXPECT_EQ(failureOf([&] { engine.setChannel(-1, true); }), "Invalid channel index -1");
    EXPECT_EQ(failureOf([&] { engine.getIntensity(1); }), "Invalid channel index 1");
    EXPECT_EQ(failureOf([&] { engine.setMultipleChannels({true, true}); }), "Invalid number of channels 2");
    EXPECT_EQ(failureOf([&] { engine.setMultipleChannels({}); }), "Invalid number of channels 0");
    EXPECT_EQ(failureOf([&] { engine.setMultipleIntensities({50, 50}); }), "Invalid number of channels 2");
    EXPECT_EQ(failureOf([&] { engine.setMultipleIntensities({101}); }), "Invalid intensity 101");
    EXPECT_EQ(engine.getIntensity(0), 10);
    EXPECT_FALSE(engine.getChannel(0));

    // Had any refused call sent bytes, they would arrive ahead of this one.
    engine.setIntensity(0, 1);
    EXPECT_EQ(sent("53 18 03 04 FF D0 50"), "53 18 03 04 FF D0 50");
}

TEST_F(Tovra3Test, QueriesAnswerFromRecordsAfterDisconnect) {
    engine.setIntensity(0, 50);
    engine.setChannel(0, true);
    sent("53 18 03 04 F7 F0 50 " + kOn);
    engine.disconnect();

    EXPECT_FALSE(engine.getConnected());
    EXPECT_EQ(engine.getMultipleIntensities(), std::vector<int>{50});
    EXPECT_TRUE(engine.getChannel(0));
    // A command on the closed port fails in the transport and leaves the record alone.
    EXPECT_THROW(engine.setChannel(0, false), std::runtime_error);
    EXPECT_TRUE(engine.getChannel(0));

    engine.connectCOM(device.path(), 9600);
    EXPECT_EQ(hex(device.readBytes(18)), connectBytes);
    EXPECT_FALSE(engine.getChannel(0));
}

TEST_F(Tovra3Test, EveryCommandIsFollowedByAPause) {
    // Lower bounds are the behaviour; the upper ones only catch a runaway wait.
    const auto single = timed([&] { engine.setChannel(0, true); });
    const auto twice = timed([&] { engine.setMultipleChannels({false}); });
    Tovra3LightEngine fresh;
    const auto connect = timed([&] { fresh.connectCOM(device.path(), 9600); });
    EXPECT_GE(single, 5ms);
    EXPECT_GE(twice, 10ms);
    EXPECT_GE(connect, 15ms);
    for (auto duration : {single, twice, connect}) EXPECT_LT(duration, 2s);
}

TEST(Tovra3Engine, ConstantsAndUnsupportedOperationsWorkWithoutADevice) {
    Tovra3LightEngine engine;
    EXPECT_FALSE(engine.getConnected());
    EXPECT_FALSE(engine.getChannel(0));
    EXPECT_EQ(engine.getMultipleIntensities(), std::vector<int>{0});
    EXPECT_EQ(engine.getModel(), "TOVRA3");
    EXPECT_EQ(engine.getChannelName(5), "WHITE");
    EXPECT_EQ(engine.getChannelIndex("WHITE"), 0);
    EXPECT_EQ(failureOf([&] { engine.getChannelIndex("white"); }), "Invalid channel name white");
    EXPECT_NO_THROW(engine.wakeUp());
    const std::string unsupported = "Function not supported by Legacy protocol.";
    EXPECT_EQ(failureOf([&] { engine.connectTCP("127.0.0.1", 80); }), unsupported);
    EXPECT_EQ(failureOf([&] { engine.executeCommand("SHUTDOWN"); }), unsupported);
    EXPECT_EQ(failureOf([&] { engine.getSerialNumber(); }), unsupported);
    EXPECT_EQ(failureOf([&] { engine.setPowerLock(true); }), unsupported);
}
