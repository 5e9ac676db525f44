// Each injected fault gives its defined failure, and the handle works again after reconnecting.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>

#include "tests/integration/SimulatedEngine.h"
#include "tests/link/LoopbackPeer.h"
#include "tests/link/PlatformExpectations.h"

using namespace photarc::testing;
using namespace std::chrono_literals;
using photarc::sim::Faults;
using photarc::sim::Simulator;
namespace expected = photarc::testing::platform;

namespace {

constexpr auto kShortTimeout = 300ms;
constexpr int32_t kValue = 321;

struct FaultCase {
    std::string name;
    Transport transport;
    std::function<void(Faults&)> inject;
    // Expected last-error text of orv_getIntensity under the fault; empty = the call succeeds.
    std::function<std::string(const Simulator&)> failure;
};

std::string serialTimeout(const Simulator& simulator) {
    return "Failed to read data from serial port " + simulator.serialPath() + " (" + std::strerror(ETIMEDOUT) + ")";
}

const std::string kTcpTimeout = "TCP receive failed: " + std::to_string(expected::kReceiveTimedOut);
const auto tcpTimeout = [](const Simulator&) { return kTcpTimeout; };
const auto fixedText = [](std::string text) { return [text](const Simulator&) { return text; }; };
const auto succeeds = [](const Simulator&) { return std::string(); };

std::vector<FaultCase> faultCases() {
    const auto split = [](Faults& f) {
        f.splitReplies = true;
        f.splitPause = 250ms;  // long enough that the first piece is received alone
    };
    const auto drop = [](Faults& f) { f.dropAfter = 0; };
    const auto silence = [](Faults& f) { f.silentAfter = 0; };
    const auto garbage = [](Faults& f) { f.garbage = true; };
    const auto nul = [](Faults& f) { f.nulBytes = true; };
    const auto slight = [](Faults& f) { f.delay = 50ms; };
    const auto late = [](Faults& f) { f.delay = 600ms; };
    std::vector<FaultCase> cases = {
        {"TcpSplitReply", Transport::Tcp, split, fixedText("Invalid response : A GET_CHI")},  // 9 of 19 bytes
        {"TcpDroppedConnection", Transport::Tcp, drop, fixedText("No tokens to parse")},
        {"TcpSilence", Transport::Tcp, silence, tcpTimeout},
        {"TcpGarbage", Transport::Tcp, garbage, fixedText("Error: -1")},
        {"TcpNulByte", Transport::Tcp, nul, fixedText("Invalid number of tokens: A")},
        {"TcpSlightDelay", Transport::Tcp, slight, succeeds},
        {"TcpLateReply", Transport::Tcp, late, tcpTimeout},
        // The serial framing waits for the line end, whatever the pieces.
        {"SerialSplitReply", Transport::Serial, split, succeeds},
        {"SerialHangUpIsSilence", Transport::Serial, drop, serialTimeout},
        {"SerialSilence", Transport::Serial, silence, serialTimeout},
        {"SerialGarbage", Transport::Serial, garbage, fixedText("Error: -1")},
        {"SerialNulByte", Transport::Serial, nul, fixedText("Error: -1")},
        {"SerialOverlongLine", Transport::Serial, [](Faults& f) { f.overlong = true; }, succeeds},
        {"SerialSlightDelay", Transport::Serial, slight, succeeds},
    };
    const auto transports = simulatedTransports();
    cases.erase(std::remove_if(cases.begin(), cases.end(),
                               [&](const FaultCase& c) {
                                   return std::find(transports.begin(), transports.end(), c.transport) == transports.end();
                               }),
                cases.end());
    return cases;
}

void PrintTo(const FaultCase& fault, std::ostream* out) { *out << fault.name; }

class InjectedFault : public ::testing::TestWithParam<FaultCase> {};

}  // namespace

TEST_P(InjectedFault, GivesItsDefinedErrorAndReconnectingRecovers) {
    const FaultCase& fault = GetParam();
    Simulator simulator;
    SimulatedEngine engine(simulator, fault.transport, kShortTimeout);
    const OrvHandle h = engine.handle();
    ASSERT_EQ(orv_setIntensity(h, 0, kValue), PHOTARC_OK) << engine.lastErrorText();

    Faults faults;
    fault.inject(faults);
    simulator.setFaults(faults);
    int32_t value = -1;
    const int32_t result = orv_getIntensity(h, 0, &value);
    const std::string expected = fault.failure(simulator);
    if (expected.empty()) {
        EXPECT_EQ(result, PHOTARC_OK) << engine.lastErrorText();
        EXPECT_EQ(value, kValue);
    } else {
        EXPECT_EQ(result, PHOTARC_DEVICE_FAILURE);
        EXPECT_EQ(engine.lastErrorCode(), -1);
        EXPECT_EQ(engine.lastErrorText(), expected);
        EXPECT_EQ(value, -1);
    }

    simulator.setFaults(Faults());
    ASSERT_EQ(orv_disconnect(h), PHOTARC_OK);
    ASSERT_EQ(engine.connect(), PHOTARC_OK) << engine.lastErrorText();
    EXPECT_EQ(orv_setIntensity(h, 1, kValue + 1), PHOTARC_OK) << engine.lastErrorText();
    EXPECT_EQ(orv_getIntensity(h, 1, &value), PHOTARC_OK) << engine.lastErrorText();
    EXPECT_EQ(value, kValue + 1);
}

INSTANTIATE_TEST_SUITE_P(Simulator, InjectedFault, ::testing::ValuesIn(faultCases()),
                         [](const ::testing::TestParamInfo<FaultCase>& c) { return c.param.name; });

TEST(TcpFaults, TheTailOfAnOverlongReplyIsDiscardedBeforeTheNextCommand) {
    Simulator simulator;
    SimulatedEngine engine(simulator, Transport::Tcp, kShortTimeout);
    const OrvHandle h = engine.handle();
    ASSERT_EQ(orv_setIntensity(h, 0, kValue), PHOTARC_OK);

    Faults overlong;
    overlong.overlong = true;
    simulator.setFaults(overlong);
    int32_t value = -1;
    EXPECT_EQ(orv_getIntensity(h, 0, &value), PHOTARC_DEVICE_FAILURE);
    const std::string text = engine.lastErrorText();
    // Only the first 512 bytes were taken: the echo and its padding, not the value.
    EXPECT_EQ(text.rfind("Invalid response : A GET_CHINT_0##", 0), 0u) << text;
    EXPECT_EQ(text.size(), std::strlen("Invalid response : ") + 512);

    simulator.setFaults(Faults());
    EXPECT_EQ(orv_getIntensity(h, 0, &value), PHOTARC_OK) << engine.lastErrorText();
    EXPECT_EQ(value, kValue);
}

TEST(ConnectFailures, RefusedTcpConnectStoresAndReturns11004) {
    Simulator simulator;
    // Serial where there is one: the failed connect closes the other transport's link too.
    SimulatedEngine engine(simulator, simulatedTransports().back());
    RefusingPort nobody;
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(orv_connectTCP(engine.handle(), "127.0.0.1", nobody.port()), PHOTARC_CONNECTION_FAILURE);
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(engine.lastErrorCode(), PHOTARC_CONNECTION_FAILURE);
    EXPECT_EQ(engine.lastErrorText(), "TCP connect to server failed: " + std::to_string(expected::kConnectionRefused));
    int32_t connected = 1;
    orv_getConnected(engine.handle(), &connected);
    EXPECT_EQ(connected, 0);  // the link that was open is closed too
}

TEST(ConnectFailures, UnopenableSerialPortStoresAndReturns11004) {
    Simulator simulator;
    SimulatedEngine engine(simulator, Transport::Tcp);
    EXPECT_EQ(orv_connectCOM(engine.handle(), expected::kMissingSerialPort, 9600), PHOTARC_CONNECTION_FAILURE);
    EXPECT_EQ(engine.lastErrorCode(), PHOTARC_CONNECTION_FAILURE);
    EXPECT_EQ(engine.lastErrorText(), std::string("Failed to open serial port ") + expected::kMissingSerialPort + " (" +
                                          expected::missingSerialPortReason() + "), baud rate: 9600");
    int32_t connected = 1;
    orv_getConnected(engine.handle(), &connected);
    EXPECT_EQ(connected, 0);
}

TEST(ShutDownAndRestart, SucceedWhateverTheDeviceAnswersButNotWithoutAnAnswer) {
    Simulator simulator;
    SimulatedEngine engine(simulator, Transport::Tcp, kShortTimeout);
    Faults garbage;
    garbage.garbage = true;
    simulator.setFaults(garbage);
    EXPECT_EQ(orv_shutDown(engine.handle()), PHOTARC_OK);
    EXPECT_EQ(orv_restart(engine.handle()), PHOTARC_OK);
    EXPECT_EQ(orv_wakeUp(engine.handle()), PHOTARC_DEVICE_FAILURE);  // a setting does read its reply

    Faults silence;
    silence.silentAfter = 0;
    simulator.setFaults(silence);
    EXPECT_EQ(orv_shutDown(engine.handle()), PHOTARC_DEVICE_FAILURE);
    EXPECT_EQ(engine.lastErrorText(), kTcpTimeout);
}
