// A socket descriptor of 0 would read as "no socket" to its owner: POSIX hands out the lowest
// free descriptor, so the transport must never keep 0.
#include <gtest/gtest.h>

#include <unistd.h>

#include "link/TcpTransport.h"
#include "tests/link/LoopbackPeer.h"

using namespace orvapi;
using photarc::testing::LoopbackPeer;

TEST(TcpTransport, NeverHandsOutDescriptorZero) {
    LoopbackPeer peer;
    const int savedStdin = ::dup(0);
    ASSERT_GE(savedStdin, 0);
    ::close(0);  // the next descriptor the system hands out would be 0
    int32_t socket = -1;
    EXPECT_NO_THROW(socket = tcpConnect("127.0.0.1", peer.port()));
    ::dup2(savedStdin, 0);
    ::close(savedStdin);
    EXPECT_GT(socket, 0);
    if (socket > 0) tcpClose(socket);
}
