// The socket seam and the simulator's stop signal, which its fronts rely on to wake up and to end:
// readiness reports the right socket, a closed peer counts as readable, a raised stop stays
// raised for every waiter.
#include <gtest/gtest.h>

#include <chrono>

#include "sim/gen3/StopSignal.h"
#include "link/platform/Sockets.h"

using namespace photarc::sim;
namespace platform = orvapi::platform;
using namespace std::chrono_literals;

namespace {

// A connected pair, closed at the end unless a test closed an end itself.
struct Pair {
    platform::SocketLibrary library;
    platform::Socket ends[2] = {platform::kNoSocket, platform::kNoSocket};
    Pair() { platform::connectedPair(ends); }
    ~Pair() {
        for (const auto end : ends)
            if (end != platform::kNoSocket) platform::closeSocket(end);
    }
    void close(int which) {
        platform::closeSocket(ends[which]);
        ends[which] = platform::kNoSocket;
    }
};

}  // namespace

TEST(SimulatorSockets, WaitReportsTheSocketThatHasData) {
    Pair quiet, busy;
    EXPECT_EQ(platform::waitReadable({quiet.ends[0], busy.ends[0]}, 0ms), -1);
    ASSERT_EQ(platform::sendSome(busy.ends[1], "x", 1), 1);
    EXPECT_EQ(platform::waitReadable({quiet.ends[0], busy.ends[0]}, 5s), 1);
    char byte = 0;
    EXPECT_EQ(platform::receiveSome(busy.ends[0], &byte, 1), 1);
    EXPECT_EQ(byte, 'x');
}

TEST(SimulatorSockets, APeerThatClosedCountsAsReadableAndReadsAsEnd) {
    Pair pair;
    pair.close(1);
    EXPECT_EQ(platform::waitReadable({pair.ends[0]}, 5s), 0);
    char byte = 0;
    EXPECT_EQ(platform::receiveSome(pair.ends[0], &byte, 1), 0);
}

TEST(SimulatorSockets, PortZeroGivesDistinctFreePortsAndAnIdleListenerIsNotReady) {
    platform::SocketLibrary library;
    const platform::Socket listener = platform::bindLoopback(0, 1);
    const platform::Socket bound = platform::bindLoopback(0, 0);
    EXPECT_NE(platform::localPort(listener), 0);
    EXPECT_NE(platform::localPort(listener), platform::localPort(bound));
    EXPECT_EQ(platform::waitReadable({listener}, 0ms), -1);  // nobody is connecting
    platform::closeSocket(bound);
    platform::closeSocket(listener);
}

TEST(StopSignal, AWaitEndsEarlyOnceRaisedAndTheSignalStaysRaised) {
    StopSignal stop;
    EXPECT_FALSE(stop.waitFor(10ms));
    stop.raise();
    const auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(stop.waitFor(30s));
    EXPECT_TRUE(stop.waitFor(30s));  // not consumed by the first waiter
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
    EXPECT_EQ(platform::waitReadable({stop.socket()}, 0ms), 0);
}
