// Automation scripts (tests/script/scripts) run through orv_executeScript against the simulated
// device, with a connected handle and without one (the scripts build their own engines). Each
// run is checked for its result, its printed output, the last error and the device's state.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "api/photarc.h"
#include "sim/gen3/Simulator.h"
#include "tests/script/ScriptRun.h"

using photarc::sim::Simulator;
using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

// The default simulated device (VIOLET BLUE CYAN GREEN RED, intensities 0 to 1000) and a handle
// connected to it, through which handle-mode scripts run and every test reads the device back.
class Automation : public ::testing::Test {
protected:
    Simulator simulator;
    OrvHandle handle = nullptr;

    void SetUp() override {
        ASSERT_EQ(orv_createLightEngine(&handle), 0);
        ASSERT_EQ(orv_connectTCP(handle, "127.0.0.1", simulator.tcpPort()), 0);
    }
    void TearDown() override { orv_deleteLightEngine(handle); }

    Markers port() const { return {{"@PORT@", std::to_string(simulator.tcpPort())}}; }
    ScriptRun withHandle(const std::string& name) { return execute(name, handle, port()); }
    ScriptRun withoutHandle(const std::string& name) { return execute(name, nullptr, port()); }

    std::vector<int> levels() {
        int32_t values[5] = {-1, -1, -1, -1, -1};
        EXPECT_EQ(orv_getMultipleIntensities(handle, values, 5), 0);
        return std::vector<int>(values, values + 5);
    }
    std::vector<int> states() {
        int32_t values[5] = {-1, -1, -1, -1, -1};
        EXPECT_EQ(orv_getMultipleChannels(handle, values, 5), 0);
        return std::vector<int>(values, values + 5);
    }
};

void expectSuccess(const ScriptRun& run) {
    EXPECT_EQ(run.result, 0) << run.text << run.output;
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.text, "");
}

}  // namespace

// ---- handle mode: scripts that run to the end ----

TEST_F(Automation, RampLeavesAStaircaseItVerifiedOnTheWay) {
    const ScriptRun run = withHandle("ramp_and_verify.chai");
    expectSuccess(run);
    EXPECT_EQ(run.output,
              "ramped 5 channels: [100, 200, 300, 400, 500]\n"
              "VIOLET 100 true\nBLUE 200 true\nCYAN 300 true\nGREEN 400 true\nRED 500 true\n");
    EXPECT_THAT(levels(), ElementsAre(100, 200, 300, 400, 500));
    EXPECT_THAT(states(), ElementsAre(1, 1, 1, 1, 1));
}

TEST_F(Automation, ReportFormatsReadingsAndTables) {
    ASSERT_EQ(orv_setIntensity(handle, 1, 250), 0);
    ASSERT_EQ(orv_setIntensity(handle, 4, 501), 0);
    const ScriptRun run = withHandle("status_report.chai");
    expectSuccess(run);
    EXPECT_EQ(run.output,
              "Model:    PHOTARC SIM 5\nSerial:   PS5-000123\nFirmware: 3.4.1\nAddress:  192.168.10.20\n"
              "Temperature band: normal\nStatus: 0\n"
              "VIOLET  |0\nBLUE    |250\nCYAN    |0\nGREEN   |0\nRED     |501\n"
              "[<BLUE, 250>, <CYAN, 0>, <GREEN, 0>, <RED, 501>, <VIOLET, 0>]\n"
              "total=751 mean=150.2\n");
}

TEST_F(Automation, ChannelObjectsDriveTheDevice) {
    const ScriptRun run = withHandle("channel_objects.chai");
    expectSuccess(run);
    EXPECT_EQ(run.output,
              "VIOLET@0 off\nBLUE@0 off\nCYAN@300 on\nGREEN@0 off\nRED@700 off\n"
              "lit: 1 CYAN\n[0, 0, 300, 0, 700]\n");
    EXPECT_THAT(levels(), ElementsAre(0, 0, 300, 0, 700));
    EXPECT_THAT(states(), ElementsAre(0, 0, 1, 0, 0));
}

TEST_F(Automation, ListsFromTheGettersRestoreTheSavedState) {
    ASSERT_EQ(orv_setIntensity(handle, 3, 900), 0);
    ASSERT_EQ(orv_setChannel(handle, 3, 1), 0);
    const ScriptRun run = withHandle("lists_passthrough.chai");
    expectSuccess(run);
    EXPECT_EQ(run.output, "changed: [5, 15, 25, 35, 45]\nrestored: [0, 0, 0, 900, 0]\nfalse\n");
    EXPECT_THAT(levels(), ElementsAre(0, 0, 0, 900, 0));
    EXPECT_THAT(states(), ElementsAre(0, 0, 0, 1, 0));
}

TEST_F(Automation, RawCommandRepliesAreParsedAndErrorRepliesAreNoFailure) {
    const ScriptRun run = withHandle("raw_commands.chai");
    expectSuccess(run);
    EXPECT_EQ(run.output, "[A, GET_CHINT_2, 640]\nok=true value=641\nerror code 53\n640\n");
    EXPECT_THAT(levels(), ElementsAre(0, 0, 640, 0, 0));
}

TEST_F(Automation, GuardedOverloadsRecursionAndCaughtRetries) {
    const ScriptRun run = withHandle("retry_with_guards.chai");
    expectSuccess(run);
    EXPECT_EQ(run.output,
              "730\nretrying: attempt 1 failed\nretrying: attempt 2 failed\nsucceeded after 3\n");
    EXPECT_THAT(levels(), ElementsAre(730, 0, 0, 0, 0));
}

TEST_F(Automation, PollingLoopsAndSwitch) {
    ASSERT_EQ(orv_setIntensity(handle, 1, 480), 0);
    ASSERT_EQ(orv_setIntensity(handle, 2, 7), 0);
    const ScriptRun run = withHandle("wait_loops.chai");
    expectSuccess(run);
    EXPECT_EQ(run.output, "settled after 2 polls\n[dark, target, other, dark, target]\n");
    EXPECT_THAT(levels(), ElementsAre(0, 480, 7, 0, 480));
}

TEST_F(Automation, SelfTestCountsChecksAndFailsTheRunWhenOneFails) {
    const ScriptRun run = withHandle("device_selftest.chai");
    EXPECT_EQ(run.result, 11001);
    EXPECT_EQ(run.output,
              "11 passed, 1 failed\nFAILED model: expected PHOTARC SIM 6, got PHOTARC SIM 5\n");
    EXPECT_EQ(run.code, -1);
    EXPECT_EQ(run.text, "Script exception: uncaught throw of runtime_error: 1 check(s) failed");
    EXPECT_THAT(levels(), ElementsAre(200, 201, 202, 203, 204));
    EXPECT_THAT(states(), ElementsAre(0, 0, 1, 0, 0));
}

// ---- handle mode: scripts that fail ----

TEST_F(Automation, DeviceErrorPassesCatchButRunsFinallyAndKeepsEarlierEffects) {
    const ScriptRun run = withHandle("device_error_uncaught.chai");
    EXPECT_EQ(run.result, 11001);
    EXPECT_EQ(run.output, "cleanup done\n");
    EXPECT_EQ(run.code, 51);  // the device's own code and text
    EXPECT_EQ(run.text, "Error : Invalid channel index");
    EXPECT_THAT(levels(), ElementsAre(0, 500, 0, 0, 0));
    EXPECT_THAT(states(), ElementsAre(0, 0, 0, 0, 0));
}

TEST_F(Automation, EvaluationErrorNamesFileLineAndColumn) {
    const ScriptRun run = withHandle("fail_halfway.chai");
    EXPECT_EQ(run.result, 11001);
    EXPECT_EQ(run.output, "first level set\n");
    EXPECT_EQ(run.code, -1);
    EXPECT_EQ(run.text, run.path + "#7#10#Error: \"Can not find object: levls\" ");
    EXPECT_THAT(levels(), ElementsAre(21, 22, 23, 0, 0));
}

TEST_F(Automation, UncaughtScriptThrowIsReportedAfterCaughtOnes) {
    const ScriptRun run = withHandle("script_throw.chai");
    EXPECT_EQ(run.result, 11001);
    EXPECT_EQ(run.output, "skipped channel 1: level out of range: -5\napplied 2\n");
    EXPECT_EQ(run.code, -1);
    EXPECT_THAT(run.text, StartsWith("Script exception: "));
    EXPECT_THAT(run.text, HasSubstr("level out of range: 5000"));
    EXPECT_THAT(levels(), ElementsAre(100, 0, 200, 0, 0));
}

TEST_F(Automation, SyntaxErrorRunsNothing) {
    ASSERT_EQ(orv_setIntensity(handle, 0, 9), 0);
    const ScriptRun run = withHandle("syntax_error.chai");
    EXPECT_EQ(run.result, 11001);
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(run.code, -1);
    EXPECT_EQ(run.text,
              "Error: \"Two expressions missing line separator\" in '" + run.path + "'  at (5, 27)");
    EXPECT_THAT(levels(), ElementsAre(9, 0, 0, 0, 0));
}

// ---- without a handle: the scripts build their own engines ----

TEST_F(Automation, ConstructedRigRampsAndWritesAScriptVector) {
    const ScriptRun run = withoutHandle("construct_rig.chai");
    EXPECT_EQ(run.result, 0) << run.output;
    EXPECT_EQ(run.output,
              "Gen3LightEngine PHOTARC SIM 5\n"
              "[VIOLET:60, BLUE:60, CYAN:60, GREEN:60, RED:60]\n"
              "total 300, 4 of 5 lit\n"
              "64\n");
    EXPECT_THAT(levels(), ElementsAre(60, 61, 62, 63, 64));
    EXPECT_THAT(states(), ElementsAre(1, 0, 1, 1, 1));
}

TEST_F(Automation, TransportFailuresAreCatchableSoScriptsCanFallBack) {
    const ScriptRun run = withoutHandle("construct_fallback.chai");
    EXPECT_EQ(run.result, 0) << run.output;
    EXPECT_EQ(run.output,
              "no device on /nonexistent/ttyA (runtime_error)\nno device on /nonexistent/ttyB (runtime_error)\n"
              "using tcp\n123\n");
    EXPECT_THAT(levels(), ElementsAre(0, 123, 0, 0, 0));
}

TEST_F(Automation, ConstructedEngineFailurePrintsTheDeviceText) {
    const ScriptRun run = withoutHandle("construct_failure.chai");
    EXPECT_EQ(run.result, 11001);
    EXPECT_EQ(run.output, "channel 0 at 75\nError : Invalid command argument(s)\n");
    EXPECT_THAT(levels(), ElementsAre(75, 0, 0, 0, 0));
    EXPECT_THAT(states(), ElementsAre(1, 0, 0, 0, 0));
}

TEST_F(Automation, UnconnectedEngineFailsOnItsFirstDeviceCall) {
    const ScriptRun run = withoutHandle("construct_not_connected.chai");
    EXPECT_EQ(run.result, 11001);
    EXPECT_EQ(run.output, "43\n-12\nfinally runs\nNot connected\n");
}

TEST_F(Automation, TwoConstructedEnginesShareTheDevice) {
    const ScriptRun run = withoutHandle("construct_two_engines.chai");
    EXPECT_EQ(run.result, 11001);
    EXPECT_EQ(run.output, "333\ntrue\nNot connected\n");
    EXPECT_THAT(levels(), ElementsAre(0, 0, 0, 333, 0));
}

TEST_F(Automation, ErrorInAMethodOfAnObjectHoldingAnEngine) {
    const ScriptRun run = withoutHandle("construct_method_error.chai");
    EXPECT_EQ(run.result, 11001);
    EXPECT_THAT(run.output, StartsWith(run.path + "#10#5#Error: \"Error with function dispatch for function "
                                                  "'setIntensity'\" With parameters: (Gen3LightEngine)."));
    EXPECT_EQ(run.output.back(), '\n');
    EXPECT_THAT(levels(), ElementsAre(0, 0, 40, 80, 0));
}

TEST_F(Automation, EnginesCannotBeCopied) {
    const ScriptRun run = withoutHandle("construct_copy_error.chai");
    EXPECT_EQ(run.result, 11001);
    EXPECT_EQ(run.output, "an engine is not copied\n" + run.path +
                              "#5#7#Error: \"Missing clone or copy constructor for right hand side of "
                              "equation\" \n");
}

// ---- several scripts at once ----

TEST_F(Automation, ScriptsOnSeveralThreadsDoNotDisturbEachOther) {
    Simulator second;
    OrvHandle other = nullptr;
    ASSERT_EQ(orv_createLightEngine(&other), 0);
    ASSERT_EQ(orv_connectTCP(other, "127.0.0.1", second.tcpPort()), 0);
    const std::string ramp = scriptText("ramp_and_verify.chai");
    ScriptFile first("parallel_1.chai", ramp), again("parallel_2.chai", ramp);
    ScriptFile constructing("parallel_3.chai", scriptText("construct_not_connected.chai"));
    // Each thread runs its script repeatedly so that engines are built and torn down side by side.
    std::vector<int32_t> results[3];
    const auto repeat = [](std::vector<int32_t>& into, OrvHandle on, const char* path) {
        for (int i = 0; i < 10; ++i) into.push_back(orv_executeScript(on, path));
    };
    ::testing::internal::CaptureStdout();
    {
        std::thread a(repeat, std::ref(results[0]), handle, first.path());
        std::thread b(repeat, std::ref(results[1]), other, again.path());
        std::thread c(repeat, std::ref(results[2]), nullptr, constructing.path());
        a.join();
        b.join();
        c.join();
    }
    ::testing::internal::GetCapturedStdout();
    EXPECT_THAT(results[0], Each(0));
    EXPECT_THAT(results[1], Each(0));
    EXPECT_THAT(results[2], Each(11001));  // its engine is never connected
    EXPECT_THAT(levels(), ElementsAre(100, 200, 300, 400, 500));
    int32_t level = 0;
    EXPECT_EQ(orv_getIntensity(other, 4, &level), 0);
    EXPECT_EQ(level, 500);
    orv_deleteLightEngine(other);
}
