// TestPhotarc's complete output against the simulated light engine, over TCP and a
// pseudo-terminal, in normal and legacy mode, and its failure paths.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "api/photarc.h"
#include "link/platform/Sockets.h"
#include "sim/gen3/Simulator.h"
#include "tests/console/ConsoleDevice.h"

using photarc::sim::Simulator;
using photarc::sim::SimulatorOptions;
namespace net = orvapi::platform;

namespace {

struct ConsoleRun {
    std::vector<std::string> lines;
    int exitCode = -1;
};

ConsoleRun runConsole(const std::string& arguments) {
    ConsoleRun run;
    const std::string command = std::string(TEST_PHOTARC_PROGRAM) + " " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    std::string text;
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0) text.append(chunk, n);
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        run.lines.push_back(text.substr(start, end - start));
    if (start < text.size()) run.lines.push_back(text.substr(start) + "<no line end>");
    return run;
}

// A faulty device on the console's port: each command it receives is answered from a table
// (anything else as an unknown command) until the console hangs up.
class TableDevice {
public:
    explicit TableDevice(std::map<std::string, std::string> replies)
        : table(std::move(replies)), listener(net::bindLoopback(8095, 1)), worker([this] { serve(); }) {}
    ~TableDevice() {
        worker.join();
        net::closeSocket(listener);
    }
    TableDevice(const TableDevice&) = delete;
    TableDevice& operator=(const TableDevice&) = delete;

private:
    void serve() {
        if (net::waitReadable({listener}, std::chrono::seconds(30)) != 0) return;
        const net::Socket client = net::acceptConnection(listener);
        if (client == net::kNoSocket) return;
        char command[512];
        for (long n; (n = net::receiveSome(client, command, sizeof command)) > 0;) {
            const auto found = table.find(std::string(command, static_cast<size_t>(n)));
            const std::string reply = found == table.end() ? "E X 53\r\n" : found->second + "\r\n";
            net::sendSome(client, reply.data(), reply.size());
        }
        net::closeSocket(client);
    }

    std::map<std::string, std::string> table;
    net::SocketLibrary library;
    net::Socket listener;
    std::thread worker;
};

SimulatorOptions consoleDevice(uint16_t tcpPort) {
    namespace device = photarc::testing::console;
    SimulatorOptions options;
    options.device.model = device::kModel;
    options.device.serialNumber = device::kSerialNumber;
    options.device.firmware = device::kFirmware;
    options.device.channels = {device::kChannel};
    options.device.maxIntensity = device::kMaxIntensity;
    options.device.supplyLimitWatts = device::kSupplyLimitWatts;
    options.tcpPort = tcpPort;
    return options;
}

}  // namespace

TEST(Console, WithoutAddressItStops) {
    const ConsoleRun run = runConsole("");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.lines, ::testing::ElementsAre("IP address missing"));
}

TEST(Console, WholeRunOverTcp) {
    Simulator simulator(consoleDevice(8095));
    const ConsoleRun run = runConsole("127.0.0.1");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.lines, photarc::testing::console::expectedRun("127.0.0.1"));
}

TEST(Console, WholeRunOverASerialDevicePath) {
    Simulator simulator(consoleDevice(0));
    const ConsoleRun run = runConsole(simulator.serialPath());
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.lines, photarc::testing::console::expectedRun(simulator.serialPath()));
}

TEST(Console, RefusedConnectionEndsThroughTheErrorPath) {
    // Nothing listens on the console's fixed port while this test holds it.
    const ConsoleRun run = runConsole("127.0.0.1");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_THAT(run.lines,
                ::testing::ElementsAre("Photarc version 1.1.14, part number 48-20731-Rev-C",
                                       "Connecting to light engine on: 127.0.0.1...",
                                       "TCP socket connect server failed with error code: " + std::to_string(ECONNREFUSED),
                                       "Exiting...",
                                       "Error : 11004, TCP connect to server failed: " + std::to_string(ECONNREFUSED),
                                       "", "Test completed."));
}

TEST(Console, ARunThatStopsHalfWayLeavesEveryChannelDark) {
    SimulatorOptions options = consoleDevice(8095);
    options.faults.busyAt = 11;  // the power reading at intensity 1, with the channel on
    Simulator simulator(options);
    const ConsoleRun run = runConsole("127.0.0.1");
    EXPECT_EQ(run.exitCode, 0);
    std::vector<std::string> expected = photarc::testing::console::expectedRun("127.0.0.1");
    expected.resize(8);  // up to "   I=0, P=0 mW"
    for (const char* line : {"Error : 58, Light engine is busy", "", "Test completed."}) expected.emplace_back(line);
    EXPECT_EQ(run.lines, expected);

    OrvHandle handle = nullptr;
    ASSERT_EQ(orv_createLightEngine(&handle), 0);
    ASSERT_EQ(orv_connectTCP(handle, "127.0.0.1", simulator.tcpPort()), 0);
    int32_t state = -1, intensity = -1;
    EXPECT_EQ(orv_getMultipleChannels(handle, &state, 1), 0);
    EXPECT_EQ(orv_getMultipleIntensities(handle, &intensity, 1), 0);
    EXPECT_EQ(state, 0);
    EXPECT_EQ(intensity, 0);
    orv_deleteLightEngine(handle);
}

TEST(Console, DeviceThatAcceptsEverythingIsReported) {
    SimulatorOptions options = consoleDevice(8095);
    options.device.maxIntensity = 1;
    options.device.supplyLimitWatts = 1000;
    Simulator simulator(options);
    const ConsoleRun run = runConsole("127.0.0.1");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_THAT(run.lines, ::testing::Contains("Expected error 63 did not occur."));
    EXPECT_THAT(run.lines, ::testing::Not(::testing::Contains(::testing::HasSubstr("Error code"))));
    EXPECT_EQ(run.lines.back(), "Test completed.");
}

TEST(Console, AChannelCountBeyondReasonStopsTheRun) {
    for (const std::string count : {"2000000000", "-1"}) {
        const TableDevice device({{"GET MODEL", "A MODEL Odd"},
                                  {"GET VER", "A VER 1"},
                                  {"GET SN", "A SN 2"},
                                  {"GET NUMCH", "A NUMCH " + count},
                                  {"GET CHMAP", "A CHMAP WHITE"}});
        const ConsoleRun run = runConsole("127.0.0.1");
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_THAT(run.lines, ::testing::ElementsAre(
                                   "Photarc version 1.1.14, part number 48-20731-Rev-C",
                                   "Connecting to light engine on: 127.0.0.1...", "Model: Odd", "Firmware version: 1",
                                   "Serial number: 2", "Error : -1, Channel count out of range (0 to 1024): " + count,
                                   "", "Test completed."));
    }
}

TEST(Console, LegacyModeThroughTheClosedLibrary) {
    const ConsoleRun run = runConsole("COM3 MESKO");
    EXPECT_EQ(run.exitCode, 0);
    std::vector<std::string> expected = {
        "Photarc version 1.1.14, part number 48-20731-Rev-C",
        "Connecting to light engine on: COM3...",
        "Model: MESKO",
        "Channels: WHITE ",
        "Testing channel: WHITE",
    };
    for (int i = 0; i < 100; i += 10) expected.push_back("   I=" + std::to_string(i));
    for (const char* line : {"WHITE=90, ON", "Test error reporting...", "Expected error 63 did not occur.",
                             "Disconnecting from light engine on: COM3...", "Test completed."})
        expected.emplace_back(line);
    EXPECT_EQ(run.lines, expected);
}

TEST(Console, UnknownLegacyModelFailsAtConnect) {
    const ConsoleRun run = runConsole("COM3 NOVA9");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_THAT(run.lines, ::testing::ElementsAre("Photarc version 1.1.14, part number 48-20731-Rev-C",
                                                  "Connecting to light engine on: COM3...",
                                                  "Error : 11004, Unrecognized model NOVA9", "",
                                                  "Test completed."));
}
