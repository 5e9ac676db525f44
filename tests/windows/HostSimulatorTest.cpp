// The Windows build against the build host's simulator (started by ci/windows with the console
// test device's settings): the exports over Winsock and over a COM port that wine maps to the
// simulator's pseudo-terminal, Winsock's own error numbers, and TestPhotarc.exe's whole output.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "api/photarc.h"
#include "tests/console/ConsoleDevice.h"
#include "tests/windows/Programs.h"

namespace device = photarc::testing::console;

namespace {

// Where the host's simulator is; unset when no simulator runs.
std::string setting(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : value;
}

std::string lastErrorText(OrvHandle handle) {
    char text[512];
    orv_getLastErrorText(handle, text, sizeof text);
    return text;
}

class HostSimulator : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        tcpPort = setting("PHOTARC_SIM_TCP_PORT");
        comPort = setting("PHOTARC_SIM_COM_PORT");
        if (tcpPort.empty() || comPort.empty()) GTEST_SKIP() << "no simulator on the build host (see ci/windows)";
        ASSERT_EQ(orv_createLightEngine(&handle), 0);
    }
    void TearDown() override { orv_deleteLightEngine(handle); }

    int32_t connect() {
        if (std::string(GetParam()) == "tcp")
            return orv_connectTCP(handle, "127.0.0.1", static_cast<uint16_t>(std::atoi(tcpPort.c_str())));
        return orv_connectCOM(handle, comPort.c_str(), 115200);
    }

    OrvHandle handle = nullptr;
    std::string tcpPort, comPort;
};

}  // namespace

TEST_P(HostSimulator, DrivesTheDeviceThroughTheExports) {
    ASSERT_EQ(connect(), 0) << lastErrorText(handle);
    char text[64];
    ASSERT_EQ(orv_getModel(handle, text, sizeof text), 0) << lastErrorText(handle);
    EXPECT_STREQ(text, device::kModel);
    int32_t channels = 0, maximum = 0, intensity = -1, on = -1;
    EXPECT_EQ(orv_getNumberOfChannels(handle, &channels), 0);
    EXPECT_EQ(channels, 1);
    EXPECT_EQ(orv_getMaximumIntensity(handle, &maximum), 0);
    EXPECT_EQ(maximum, device::kMaxIntensity);
    EXPECT_EQ(orv_setIntensity(handle, 0, 2), 0);
    EXPECT_EQ(orv_setChannel(handle, 0, 1), 0);
    EXPECT_EQ(orv_getIntensity(handle, 0, &intensity), 0);
    EXPECT_EQ(orv_getChannel(handle, 0, &on), 0);
    EXPECT_EQ(intensity, 2);
    EXPECT_EQ(on, 1);
    double milliwatts = 0;
    EXPECT_EQ(orv_getChannelPowerMW(handle, 0, &milliwatts), 0);
    EXPECT_NEAR(milliwatts, 166.667, 0.01);

    // Full intensity would overload the supply: the device's own error comes back.
    EXPECT_EQ(orv_setIntensity(handle, 0, device::kMaxIntensity), 11001);
    int32_t code = 0;
    EXPECT_EQ(orv_getLastErrorCode(handle, &code), 0);
    EXPECT_EQ(code, 63);

    EXPECT_EQ(orv_setChannel(handle, 0, 0), 0);
    EXPECT_EQ(orv_setIntensity(handle, 0, 0), 0);
    EXPECT_EQ(orv_executeCommand(handle, "GET CHINT 0", text, sizeof text), 0);
    EXPECT_THAT(text, ::testing::StartsWith("A "));
    EXPECT_EQ(orv_disconnect(handle), 0);
    EXPECT_EQ(orv_getIntensity(handle, 0, &intensity), 11001);
    EXPECT_EQ(lastErrorText(handle), "Not connected");
}

INSTANTIATE_TEST_SUITE_P(Links, HostSimulator, ::testing::Values("tcp", "com"),
                         [](const auto& parameter) { return std::string(parameter.param); });

TEST(Winsock, RefusedConnectCarriesWinsocksNumber) {
    OrvHandle handle = nullptr;
    ASSERT_EQ(orv_createLightEngine(&handle), 0);
    EXPECT_EQ(orv_connectTCP(handle, "127.0.0.1", 1), 11004);
    EXPECT_EQ(lastErrorText(handle), "TCP connect to server failed: 10061");
    orv_deleteLightEngine(handle);
}

TEST(ComPorts, UnknownPortFailsToOpen) {
    OrvHandle handle = nullptr;
    ASSERT_EQ(orv_createLightEngine(&handle), 0);
    EXPECT_EQ(orv_connectCOM(handle, "COM77", 115200), 11004);
    EXPECT_THAT(lastErrorText(handle), ::testing::StartsWith("Failed to open serial port COM77 ("));
    EXPECT_THAT(lastErrorText(handle), ::testing::EndsWith("), baud rate: 115200"));
    orv_deleteLightEngine(handle);
}

namespace {

std::vector<std::string> consoleRun(const std::string& arguments) {
    const std::string program = photarc::testing::besideThisProgram("TestPhotarc.exe");
    std::vector<std::string> lines;
    FILE* pipe = _popen(("\"" + program + "\" " + arguments).c_str(), "r");
    if (pipe == nullptr) return lines;
    std::string text;
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0) text.append(chunk, n);
    _pclose(pipe);
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

TEST(Console, WholeRunOverTcpAndCom) {
    const std::string comPort = setting("PHOTARC_SIM_COM_PORT");
    if (comPort.empty() || setting("PHOTARC_SIM_TCP_PORT") != "8095")
        GTEST_SKIP() << "no simulator on the console's port 8095 (see ci/windows)";
    EXPECT_EQ(consoleRun("127.0.0.1"), device::expectedRun("127.0.0.1"));
    EXPECT_EQ(consoleRun(comPort), device::expectedRun(comPort));
}
