// A script that builds its own engine, connects to the simulated device over TCP, ramps every
// channel and reads the levels back; what it did outlives the script.
#include <gtest/gtest.h>

#include "api/photarc.h"
#include "sim/gen3/Simulator.h"
#include "tests/script/ScriptFile.h"

using photarc::sim::Simulator;
using photarc::sim::SimulatorOptions;

TEST(ConstructingModeOverTcp, ScriptConnectsRampsAndReadsBack) {
    SimulatorOptions options;
    options.device.channels = {"CYAN", "GREEN", "RED"};
    options.device.maxIntensity = 1000;
    Simulator simulator(options);

    const std::string port = std::to_string(simulator.tcpPort());
    ScriptFile file("ramp.chai",
                    "var engine = Gen3LightEngine()\n"
                    "engine.connectTCP(\"127.0.0.1\", " + port + ")\n"
                    "var count = engine.getNumberOfChannels()\n"
                    "for (var c = 0; c < count; ++c) {\n"
                    "  engine.setChannel(c, true)\n"
                    "  for (var level = 0; level <= 200; level += 50) {\n"
                    "    engine.setIntensity(c, level + 10 * c)\n"
                    "  }\n"
                    "}\n"
                    "var levels = engine.getMultipleIntensities()\n"
                    "var states = engine.getMultipleChannels()\n"
                    "print(levels.size())\n"
                    "for (var c = 0; c < count; ++c) {\n"
                    "  print(engine.getChannelName(c) + \"=\" + to_string(levels.get(c)) + \" \" + to_string(states.get(c)))\n"
                    "}\n"
                    "engine.setMultipleIntensities([5, 6, 7])\n");
    ::testing::internal::CaptureStdout();
    const int32_t result = orv_executeScript(nullptr, file.path());
    const std::string output = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(result, 0) << output;
    EXPECT_EQ(output, "3\nCYAN=200 true\nGREEN=210 true\nRED=220 true\n");

    // The script's engine is gone (its link closed); the device keeps what the script set.
    OrvHandle handle = nullptr;
    ASSERT_EQ(orv_createLightEngine(&handle), 0);
    ASSERT_EQ(orv_connectTCP(handle, "127.0.0.1", simulator.tcpPort()), 0);
    int32_t levels[3] = {0, 0, 0};
    EXPECT_EQ(orv_getMultipleIntensities(handle, levels, 3), 0);
    EXPECT_EQ(levels[0], 5);
    EXPECT_EQ(levels[1], 6);
    EXPECT_EQ(levels[2], 7);
    orv_deleteLightEngine(handle);
}

TEST(ConstructingModeOverTcp, ListHelpersRefuseWhatIsNotThere) {
    Simulator simulator;
    ScriptFile file("lists.chai",
                    "var engine = Gen3LightEngine()\n"
                    "engine.connectTCP(\"127.0.0.1\", " + std::to_string(simulator.tcpPort()) + ")\n"
                    "var levels = engine.getMultipleIntensities()\n"
                    "print(levels.get(levels.size() - 1))\n"
                    "engine.setMultipleIntensities([1, 2.5])\n");
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(orv_executeScript(nullptr, file.path()), 11001);
    const std::string output = ::testing::internal::GetCapturedStdout();
    // The last element is read; a list of mixed numbers is no list of ints.
    EXPECT_EQ(output.substr(0, 2), "0\n");
    EXPECT_NE(output.find("setMultipleIntensities"), std::string::npos) << output;

    // An index outside the list is an evaluation error at the call that asked for it.
    const std::string connect =
        "var engine = Gen3LightEngine()\n"
        "engine.connectTCP(\"127.0.0.1\", " + std::to_string(simulator.tcpPort()) + ")\n";
    ScriptFile outside("outside.chai", connect + "engine.getMultipleChannels().get(5)\n");
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(orv_executeScript(nullptr, outside.path()), 11001);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              std::string(outside.path()) + "#3#1#Error: \"get: index 5 is outside the list of 5 elements\" \n");
    ScriptFile before("before.chai", connect + "var levels = engine.getMultipleIntensities()\nprint(get(levels, -1))\n");
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(orv_executeScript(nullptr, before.path()), 11001);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              std::string(before.path()) + "#4#7#Error: \"get: index -1 is outside the list of 5 elements\" \n");
}
