// Several threads on one handle each get the reply to their own command; independent handles
// work side by side.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "tests/integration/SimulatedEngine.h"

using namespace photarc::testing;
using photarc::sim::Simulator;
using photarc::sim::SimulatorOptions;

namespace {

constexpr int kThreads = 8;
constexpr int kCommandsPerThread = 2000;
// A reply taken by the wrong thread leaves another waiting: fail in seconds, not minutes.
constexpr std::chrono::seconds kReplyTimeout{5};

// One channel per thread, and room for values that no two threads share.
SimulatorOptions eightChannels() {
    SimulatorOptions options;
    options.device.channels = {"VIOLET", "BLUE", "CYAN", "TEAL", "GREEN", "YELLOW", "RED", "WHITE"};
    options.device.maxIntensity = 1000000;
    return options;
}

// Thread `channel` owns that channel: it sets values only it uses and reads them back, and
// every tenth read goes through the raw command to check the reply's echo too. Returns the
// number of replies that were not the answer to its own command.
int exerciseOwnChannel(OrvHandle h, int32_t channel, int commands) {
    int wrong = 0;
    const std::string query = "GET CHINT " + std::to_string(channel);
    for (int i = 0; i < commands / 2; ++i) {
        const int32_t value = channel * 100000 + i;
        if (orv_setIntensity(h, channel, value) != PHOTARC_OK) ++wrong;
        if (i % 10 == 0) {
            char reply[64] = {};
            const std::string expected = "A GET_CHINT_" + std::to_string(channel) + " " + std::to_string(value);
            if (orv_executeCommand(h, query.c_str(), reply, sizeof reply) != PHOTARC_OK ||
                std::string(reply).rfind(expected, 0) != 0)
                ++wrong;
        } else {
            int32_t read = -1;
            if (orv_getIntensity(h, channel, &read) != PHOTARC_OK || read != value) ++wrong;
        }
    }
    return wrong;
}

class SharedHandle : public ::testing::TestWithParam<Transport> {};

}  // namespace

TEST_P(SharedHandle, EveryThreadGetsTheReplyToItsOwnCommand) {
    Simulator simulator(eightChannels());
    SimulatedEngine engine(simulator, GetParam(), kReplyTimeout);
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int32_t t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] { wrong += exerciseOwnChannel(engine.handle(), t, kCommandsPerThread); });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(wrong.load(), 0);
}

INSTANTIATE_TEST_SUITE_P(Simulator, SharedHandle, ::testing::ValuesIn(simulatedTransports()),
                         TransportName());

TEST(IndependentHandles, WorkInParallel) {
    Simulator simulator(eightChannels());
    // The fourth over serial where there is one (a serial line has a single client).
    const Transport transports[] = {Transport::Tcp, Transport::Tcp, Transport::Tcp, simulatedTransports().back()};
    std::vector<std::unique_ptr<SimulatedEngine>> engines;
    for (const Transport transport : transports) engines.push_back(std::make_unique<SimulatedEngine>(simulator, transport, kReplyTimeout));

    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int32_t i = 0; i < static_cast<int32_t>(engines.size()); ++i)
        threads.emplace_back([&, i] { wrong += exerciseOwnChannel(engines[static_cast<size_t>(i)]->handle(), i, 1000); });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(wrong.load(), 0);
    // Each handle kept its own connection and error state.
    for (const auto& engine : engines) EXPECT_EQ(engine->lastErrorCode(), 0);
}
