#pragma once
// Platform seam of the simulator and of the test peers: the few socket calls they make, over
// BSD sockets or Winsock 2. Error codes are the platform's own (errno values, or Winsock codes).
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <system_error>

namespace photarc::sim::platform {

// A file descriptor, or a Winsock SOCKET (whose invalid value is also all ones).
using Socket = std::intptr_t;
constexpr Socket kNoSocket = -1;

// Keeps the socket library started while it lives (Winsock needs it; elsewhere it is nothing).
class SocketLibrary {
public:
    SocketLibrary();
    ~SocketLibrary();
    SocketLibrary(const SocketLibrary&) = delete;
    SocketLibrary& operator=(const SocketLibrary&) = delete;
};

// The last socket failure of this thread as an exception, prefixed with `what`.
std::system_error socketError(const std::string& what);

// A TCP socket bound to 127.0.0.1 (port 0 = any free port), listening when backlog > 0 and
// merely bound (connections to it are refused) otherwise. Throws socketError.
Socket bindLoopback(uint16_t port, int backlog);
uint16_t localPort(Socket socket);
// The next connection on a listening socket, or kNoSocket.
Socket acceptConnection(Socket listener);
// Two connected stream sockets: a way to wake threads that wait on sockets. Throws socketError.
void connectedPair(Socket ends[2]);
// Sends each write at once instead of waiting to coalesce it with the next.
void setNoDelay(Socket socket);
// Bytes received (0 when the peer closed), or -1 on error.
long receiveSome(Socket socket, char* buffer, size_t size);
// Bytes sent, or -1 on error; never raises a signal for a closed peer.
long sendSome(Socket socket, const char* data, size_t size);
void shutdownSending(Socket socket);
void closeSocket(Socket socket);
// Waits until one of `sockets` is readable (data, a connection, or the peer's close) and
// returns its index; -1 when `timeout` passed first (a negative timeout waits for ever).
int waitReadable(std::initializer_list<Socket> sockets, std::chrono::milliseconds timeout);

}  // namespace photarc::sim::platform
