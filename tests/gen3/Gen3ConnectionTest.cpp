// The connection life cycle without a link and over TCP.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/gen3/Gen3LightEngine.h"
#include "link/LeException.h"
#include "tests/link/LeFailure.h"
#include "tests/link/LoopbackPeer.h"

using namespace orvapi;
using photarc::testing::leFailureOf;
using photarc::testing::LoopbackPeer;
using photarc::testing::RefusingPort;
using namespace std::chrono_literals;

namespace {

// One command over `engine`, answered by `peer`; returns the engine's reply.
std::string answered(Gen3LightEngine& engine, LoopbackPeer& peer, const std::string& command, const std::string& reply) {
    std::string received;
    std::thread client([&] { received = engine.executeCommand(command); });
    EXPECT_EQ(peer.receiveSome(), command);
    peer.send(reply);
    client.join();
    return received;
}

}  // namespace

TEST(Gen3Connection, CommandsNeedALink) {
    Gen3LightEngine engine;
    EXPECT_FALSE(engine.getConnected());
    EXPECT_EQ(leFailureOf([&] { engine.executeCommand("GET SN"); }).description, "Not connected");
    engine.disconnect();  // nothing open: nothing to do
    EXPECT_FALSE(engine.getConnected());
}

TEST(Gen3Connection, CommandTextsThatCannotGoOutAreRefusedAtOnceWithoutALinkOrWithOne) {
    LoopbackPeer peer;
    Gen3LightEngine engine(60s);  // an empty command waiting for its reply would stand out
    const std::vector<std::pair<std::function<void()>, std::string>> refused = {
        {[&] { engine.setIP("192.168.10.20\nGET CHINT 1"); }, "line break in command text"},
        {[&] { engine.executeCommand("GET MODEL\r"); }, "line break in command text"},
        {[&] { engine.executeCommand("\nGET SN"); }, "line break in command text"},
        {[&] { engine.executeCommand(std::string("GET\0SN", 6)); }, "NUL in command text"},
        {[&] { engine.executeCommand(std::string(1, '\0')); }, "NUL in command text"},
        {[&] { engine.executeCommand(""); }, "empty command text"},
        {[&] { engine.executeCommand(" \t "); }, "empty command text"},
    };
    const auto expectRefused = [&] {
        for (const auto& [call, what] : refused) {
            const LeException failure = leFailureOf(call);
            EXPECT_EQ(failure.code, 22);
            EXPECT_EQ(failure.description, "Invalid argument: " + what);
        }
    };
    expectRefused();
    engine.connectTCP("127.0.0.1", peer.port());
    peer.accept();
    expectRefused();
    // The first bytes the device sees are those of the next good command.
    EXPECT_EQ(answered(engine, peer, "GET SN", "A SN 1"), "A SN 1");
}

TEST(Gen3Connection, ATcpConnectReplacesTheEarlierConnection) {
    LoopbackPeer first, second;
    Gen3LightEngine engine(5s);
    engine.connectTCP("127.0.0.1", first.port());
    first.accept();
    EXPECT_EQ(answered(engine, first, "GET SN", "A SN 1\r\n"), "A SN 1\r\n");

    engine.connectTCP("127.0.0.1", second.port());
    second.accept();
    EXPECT_EQ(first.receiveSome(), "");  // the first socket was closed
    EXPECT_EQ(answered(engine, second, "GET VER", "A VER 2\r\n"), "A VER 2\r\n");

    engine.disconnect();
    EXPECT_FALSE(engine.getConnected());
    EXPECT_EQ(second.receiveSome(), "");
}

TEST(Gen3Connection, AFailedTcpConnectClosesTheOpenConnection) {
    LoopbackPeer peer;
    RefusingPort nobody;
    Gen3LightEngine engine(5s);
    engine.connectTCP("127.0.0.1", peer.port());
    peer.accept();

    ::testing::internal::CaptureStdout();
    EXPECT_THROW(engine.connectTCP("127.0.0.1", nobody.port()), LeException);
    ::testing::internal::GetCapturedStdout();
    EXPECT_FALSE(engine.getConnected());
    EXPECT_EQ(peer.receiveSome(), "");
    EXPECT_EQ(leFailureOf([&] { engine.executeCommand("GET SN"); }).description, "Not connected");
}
