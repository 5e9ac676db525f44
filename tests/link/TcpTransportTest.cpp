#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include "engine/gen3/Reply.h"
#include "link/LeException.h"
#include "link/TcpTransport.h"
#include "tests/link/LeFailure.h"
#include "tests/link/LoopbackPeer.h"
#include "tests/link/PlatformExpectations.h"

using namespace orvapi;
using photarc::testing::leFailureOf;
using photarc::testing::LoopbackPeer;
using photarc::testing::RefusingPort;
using namespace std::chrono_literals;
namespace expected = photarc::testing::platform;

namespace {

// A connected client socket and the accepted peer; the socket is closed at the end.
class TcpExchange : public ::testing::Test {
protected:
    void SetUp() override {
        socket = tcpConnect("127.0.0.1", peer.port(), 5s);
        peer.accept();
    }
    void TearDown() override { tcpClose(socket); }

    // Runs one exchange on another thread while the test plays the device.
    std::future<std::string> exchange(const std::string& command) {
        return std::async(std::launch::async, [this, command] { return tcpSendReceive(socket, command); });
    }

    LoopbackPeer peer;
    TcpSocket socket = kNoTcpSocket;
};

}  // namespace

TEST_F(TcpExchange, SendsTheBareCommandAndReturnsOneReceiveWithLineEnds) {
    auto reply = exchange("GET SN");
    EXPECT_EQ(peer.receiveSome(), "GET SN");
    peer.send("A SN 1234\r\n");
    EXPECT_EQ(reply.get(), "A SN 1234\r\n");
    EXPECT_EQ(peer.receiveWaiting(), "");  // no terminator followed the command
}

TEST_F(TcpExchange, ReplyIsCutAtTheFirstNul) {
    auto reply = exchange("GET SN");
    peer.receiveSome();
    peer.send(std::string("A SN\0 1234", 10));
    EXPECT_EQ(reply.get(), "A SN");
}

TEST_F(TcpExchange, TheTailOfASplitReplyNeverAnswersTheNextCommand) {
    auto first = exchange("GET SN");
    peer.receiveSome();
    peer.send("A SN");
    EXPECT_EQ(first.get(), "A SN");  // one receive: no reassembly
    peer.send(" 1234\r\n");          // the tail arrives late

    auto second = exchange("GET VER");
    EXPECT_EQ(peer.receiveSome(), "GET VER");
    peer.send("A VER 2.0\r\n");
    EXPECT_EQ(second.get(), "A VER 2.0\r\n");
}

TEST_F(TcpExchange, CommandOf512BytesIsSentAnd513IsRefused) {
    const std::string longest(kMaxTcpCommandLength, 'x');
    auto reply = exchange(longest);
    EXPECT_EQ(peer.receiveExactly(longest.size()), longest);
    peer.send("A X\r\n");
    EXPECT_EQ(reply.get(), "A X\r\n");

    const auto refused = leFailureOf([&] { tcpSendReceive(socket, longest + "x"); });
    EXPECT_EQ(refused.code, -1);
    EXPECT_EQ(refused.description, "Command length exceeds maximum size of 512");
    EXPECT_EQ(peer.receiveWaiting(), "");  // nothing went out
}

TEST_F(TcpExchange, AtMost512BytesOfAReplyAreReturned) {
    const std::string full(kMaxTcpCommandLength, 'r');
    auto reply = exchange("GET SN");
    peer.receiveSome();
    peer.send(full + "overflow");
    const std::string received = reply.get();
    // One receive may return less on a busy machine, but never more than the buffer.
    EXPECT_LE(received.size(), kMaxTcpCommandLength);
    EXPECT_EQ(received, full.substr(0, received.size()));
}

TEST_F(TcpExchange, PeerCloseGivesAnEmptyReplyThatTheParserRejects) {
    peer.closeClient();
    const std::string reply = tcpSendReceive(socket, "GET SN");
    EXPECT_EQ(reply, "");
    EXPECT_EQ(leFailureOf([&] { parseResponse(reply); }).description, "No tokens to parse");
}

TEST(TcpTransport, SilentPeerMakesTheReceiveTimeOut) {
    LoopbackPeer peer;
    const TcpSocket socket = tcpConnect("127.0.0.1", peer.port(), 200ms);
    peer.accept();
    const auto started = std::chrono::steady_clock::now();
    const auto failure = leFailureOf([&] { tcpSendReceive(socket, "GET SN"); });
    EXPECT_EQ(failure.code, -1);
    EXPECT_EQ(failure.description, "TCP receive failed: " + std::to_string(expected::kReceiveTimedOut));
    EXPECT_GE(std::chrono::steady_clock::now() - started, 150ms);
    EXPECT_EQ(peer.receiveSome(), "GET SN");
    tcpClose(socket);
}

TEST(TcpTransport, RefusedConnectPrintsTwoLinesAndThrows) {
    RefusingPort nobody;
    ::testing::internal::CaptureStdout();
    const auto failure = leFailureOf([&] { tcpConnect("127.0.0.1", nobody.port()); });
    const std::string printed = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(failure.code, -1);
    EXPECT_EQ(failure.description, "TCP connect to server failed: " + std::to_string(expected::kConnectionRefused));
    EXPECT_EQ(printed, "TCP socket connect server failed with error code: " + std::to_string(expected::kConnectionRefused) +
                           "\nExiting...\n");
}
