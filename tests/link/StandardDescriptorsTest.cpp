// The standard descriptors of a host process: a socket may be handed descriptor 0, and standard
// output may be a pipe whose reader is gone.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "api/photarc.h"
#include "engine/gen3/Gen3LightEngine.h"
#include "link/TcpTransport.h"
#include "tests/link/LeFailure.h"
#include "tests/link/LoopbackPeer.h"

using namespace orvapi;
using photarc::testing::leFailureOf;
using photarc::testing::LoopbackPeer;
using photarc::testing::RefusingPort;
using namespace std::chrono_literals;

TEST(StandardDescriptors, ASocketOnDescriptorZeroIsAConnectionLikeAnyOther) {
    LoopbackPeer peer;
    const int savedStdin = ::dup(0);
    ASSERT_GE(savedStdin, 0);
    {
        Gen3LightEngine engine(5s);
        ::close(0);  // the next descriptor the system hands out is 0
        engine.connectTCP("127.0.0.1", peer.port());
        peer.accept();
        int type = 0;
        socklen_t length = sizeof type;
        EXPECT_EQ(::getsockopt(0, SOL_SOCKET, SO_TYPE, &type, &length), 0) << "descriptor 0 is not the socket";
        EXPECT_TRUE(engine.getConnected());
        std::thread device([&] {
            EXPECT_EQ(peer.receiveSome(), "GET SN");
            peer.send("A SN 7");
        });
        EXPECT_EQ(engine.executeCommand("GET SN"), "A SN 7");
        device.join();
        engine.disconnect();
        EXPECT_FALSE(engine.getConnected());
    }
    ::dup2(savedStdin, 0);
    ::close(savedStdin);
}

TEST(StandardDescriptors, PrintingToAClosedPipeNeitherEndsTheHostNorLeavesASignal) {
    std::signal(SIGPIPE, SIG_DFL);  // as a host has it unless it chose otherwise
    RefusingPort nobody;
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    ::close(ends[0]);  // nobody will ever read
    std::cout.flush();
    std::fflush(stdout);
    const int savedStdout = ::dup(1);
    ::dup2(ends[1], 1);
    ::close(ends[1]);

    // Prints two lines before it throws; without care the first one would end this process.
    const auto failure = leFailureOf([&] { tcpConnect("127.0.0.1", nobody.port()); });
    // A script run without a handle prints its failure.
    const int32_t scriptResult = orv_executeScript(nullptr, "/nonexistent/run.chai");
    sigset_t pending;
    sigpending(&pending);
    const bool signalLeft = sigismember(&pending, SIGPIPE) == 1;
    const bool streamGood = std::cout.good();

    std::fflush(stdout);
    ::dup2(savedStdout, 1);
    ::close(savedStdout);
    std::clearerr(stdout);
    EXPECT_EQ(failure.description.rfind("TCP connect to server failed: ", 0), 0u) << failure.description;
    EXPECT_EQ(scriptResult, 11001);
    EXPECT_FALSE(signalLeft);
    EXPECT_TRUE(streamGood);
    struct sigaction action {};
    sigaction(SIGPIPE, nullptr, &action);
    EXPECT_EQ(action.sa_handler, SIG_DFL);
}
