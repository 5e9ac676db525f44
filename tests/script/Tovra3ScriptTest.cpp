// An automation script on a TOVRA3 handle; the test holds the device end of its serial line.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "api/photarc.h"
#include "tests/link/PtyDevice.h"
#include "tests/script/ScriptRun.h"

namespace {

std::string hex(const std::string& bytes) {
    std::string out;
    for (unsigned char byte : bytes) {
        char two[4];
        std::snprintf(two, sizeof two, "%02X ", byte);
        out += two;
    }
    if (!out.empty()) out.pop_back();
    return out;
}

}  // namespace

TEST(Tovra3Script, ScriptConnectsFadesAndStopsAtAnInvalidLevel) {
    photarc::testing::PtyDevice device;
    OrvHandle tovra = nullptr;
    ASSERT_EQ(orv_createLegacyLightEngine(&tovra, 10), 0);
    const ScriptRun run = execute("tovra3_fade.chai", tovra, {{"@SERIAL@", device.path()}});
    EXPECT_EQ(run.result, 11001);
    EXPECT_EQ(run.output, "TOVRA3: WHITE, 1 channel\nlevel 100, on true\nstill at 100\n");
    EXPECT_EQ(run.code, -1);
    EXPECT_EQ(run.text, "Invalid intensity 101");

    // The connect (initialisation, 0 %, off), then on, 0 %, 50 %, 100 %, and on twice from the
    // list setter; nothing for 101.
    EXPECT_EQ(hex(device.readBytes(18)), "57 02 FF 50 57 03 FD 50 53 18 03 04 FF F0 50 4F 7F 50");
    EXPECT_EQ(hex(device.readBytes(30)),
              "4F 7D 50 53 18 03 04 FF F0 50 53 18 03 04 F7 F0 50 53 18 03 04 F0 00 50 4F 7D 50 4F 7D 50");
    EXPECT_EQ(device.readSome(std::chrono::milliseconds(50)), "");

    // The handle stays connected, at what the script set.
    int32_t level = 0;
    EXPECT_EQ(orv_getIntensity(tovra, 0, &level), 0);
    EXPECT_EQ(level, 100);
    orv_deleteLightEngine(tovra);
}
