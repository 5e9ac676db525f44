// The connection life cycle over a serial line (a pseudo-terminal), alone and next to TCP.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

#include "engine/gen3/Gen3LightEngine.h"
#include "link/LeException.h"
#include "tests/link/LeFailure.h"
#include "tests/link/LoopbackPeer.h"
#include "tests/link/PtyDevice.h"

using namespace orvapi;
using photarc::testing::leFailureOf;
using photarc::testing::LoopbackPeer;
using photarc::testing::PtyDevice;
using photarc::testing::PtyResponder;
using photarc::testing::RefusingPort;
using namespace std::chrono_literals;

TEST(Gen3Connection, SerialTransactionPurgesWritesLineAndReadsOneLine) {
    PtyDevice device;
    Gen3LightEngine engine(5s);
    engine.connectCOM(device.path(), 9600);
    EXPECT_TRUE(engine.getConnected());

    device.write("stale reply\r\n");
    ASSERT_TRUE(device.waitUntilSlaveReadable());
    {
        PtyResponder responder(device, [](const std::string&) { return std::string("A SN\r 12\r34\r\nnext\r\n"); });
        EXPECT_EQ(engine.executeCommand("GET SN"), "A SN 1234");
        EXPECT_EQ(responder.received(), "GET SN\n");
    }
    {
        // A NUL is refused, not cut short, and nothing goes out: the device's first bytes are the
        // next command's.
        EXPECT_EQ(leFailureOf([&] { engine.executeCommand(std::string("GET\0SN", 6)); }).code, 22);
        PtyResponder responder(device, [](const std::string&) { return std::string("A X\n"); });
        EXPECT_EQ(engine.executeCommand("GET VER"), "A X");
        EXPECT_EQ(responder.received(), "GET VER\n");
    }
    engine.disconnect();
    EXPECT_FALSE(engine.getConnected());
    EXPECT_EQ(leFailureOf([&] { engine.executeCommand("GET SN"); }).description, "Not connected");
}

TEST(Gen3Connection, OnlyAnOpenLinkHoldsDescriptors) {
    const auto descriptors = [] {
        const std::filesystem::directory_iterator open("/proc/self/fd");
        return std::distance(begin(open), end(open));
    };
    PtyDevice device;
    const auto before = descriptors();
    std::vector<std::unique_ptr<Gen3LightEngine>> engines;
    for (int i = 0; i < 100; ++i) engines.push_back(std::make_unique<Gen3LightEngine>());
    EXPECT_EQ(descriptors(), before);
    engines.front()->connectCOM(device.path(), 9600);
    EXPECT_GT(descriptors(), before);
    engines.front()->disconnect();
    EXPECT_EQ(descriptors(), before);
}

TEST(Gen3Connection, SerialReplyTimeOutLeavesTheLinkOpen) {
    PtyDevice device;
    Gen3LightEngine engine(200ms);
    engine.connectCOM(device.path(), 9600);
    EXPECT_THROW(engine.executeCommand("GET SN"), std::runtime_error);
    EXPECT_TRUE(engine.getConnected());
    EXPECT_EQ(device.readLine(), "GET SN\n");  // the unanswered command
    PtyResponder responder(device, [](const std::string&) { return std::string("A SN 7\n"); });
    EXPECT_EQ(engine.executeCommand("GET SN"), "A SN 7");
}

TEST(Gen3Connection, ConnectingOverOneTransportClosesTheOther) {
    PtyDevice device;
    LoopbackPeer peer;
    Gen3LightEngine engine(5s);

    engine.connectCOM(device.path(), 9600);
    engine.connectTCP("127.0.0.1", peer.port());
    peer.accept();
    EXPECT_TRUE(engine.getConnected());
    // Commands now go over TCP only.
    {
        std::string reply;
        std::thread client([&] { reply = engine.executeCommand("GET SN"); });
        EXPECT_EQ(peer.receiveSome(), "GET SN");
        peer.send("A SN 1");
        client.join();
        EXPECT_EQ(reply, "A SN 1");
    }
    EXPECT_EQ(device.readSome(100ms), "");

    engine.connectCOM(device.path(), 9600);
    EXPECT_EQ(peer.receiveSome(), "");  // the socket was closed
    EXPECT_TRUE(engine.getConnected());
}

TEST(Gen3Connection, FailedConnectsLeaveNoLinkOpen) {
    PtyDevice device;
    RefusingPort nobody;
    Gen3LightEngine engine;

    engine.connectCOM(device.path(), 9600);
    ::testing::internal::CaptureStdout();
    EXPECT_THROW(engine.connectTCP("127.0.0.1", nobody.port()), LeException);
    ::testing::internal::GetCapturedStdout();
    EXPECT_FALSE(engine.getConnected());

    EXPECT_THROW(engine.connectCOM(device.path(), 12345), std::system_error);
    EXPECT_FALSE(engine.getConnected());
    EXPECT_THROW(engine.connectCOM("/dev/photarc-no-such-port", 9600), std::runtime_error);
    EXPECT_FALSE(engine.getConnected());
}
