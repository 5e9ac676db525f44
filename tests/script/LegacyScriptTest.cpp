// An automation script on a legacy handle, observed through our simulated closed library.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "api/photarc.h"
#include "sim/orvanta/OrvantaTestHooks.h"
#include "tests/script/ScriptRun.h"

using ::testing::StartsWith;

class LegacyAutomation : public ::testing::Test {
protected:
    void SetUp() override { ovsimReset(); }
    void TearDown() override { ovsimReset(); }
};

TEST_F(LegacyAutomation, ScriptConnectsSetsReportsAndHitsAnUnsupportedOperation) {
    OrvHandle legacy = nullptr;
    ASSERT_EQ(orv_createLegacyLightEngine(&legacy, 1), 0);
    const ScriptRun run = execute("legacy_automation.chai", legacy);
    EXPECT_EQ(run.result, 11001);
    EXPECT_EQ(run.output,
              "ZEFA2 with 5 channels\nVIOLET=25* CYAN=50 GREEN=75* YELLOW=25* RED=50*\ntemperature 0\n");
    EXPECT_EQ(run.code, -1);
    EXPECT_EQ(run.text, "Function not supported by Legacy protocol.");
    // The script's connection and settings stay with the handle.
    int32_t level = 0;
    EXPECT_EQ(orv_getIntensity(legacy, 4, &level), 0);
    EXPECT_EQ(level, 50);
    const auto calls = ovsim::calls();
    ASSERT_EQ(calls.size(), 11u);
    EXPECT_THAT(calls[0], StartsWith("ovInit(2, \"ZEFA2\")"));
    EXPECT_EQ(calls[3], "ovColorEnable(\"CYAN\", \"OFF\")");
    EXPECT_EQ(calls[10], "ovColorLevel(\"RED\", \"50\")");
    orv_deleteLightEngine(legacy);
}
