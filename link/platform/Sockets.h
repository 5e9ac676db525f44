#pragma once
// Platform seam for TCP, shared by the library's transport, the simulator's front and the test
// peers: thin wrappers over BSD sockets or Winsock 2. Error codes are the platform's own (errno
// values, or WSAGetLastError codes on Windows).
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <system_error>

namespace orvapi::platform {

// A file descriptor, or a Winsock SOCKET: pointer-sized, so a Windows handle is never cut short.
using Socket = std::intptr_t;
constexpr Socket kNoSocket = -1;  // also Winsock's INVALID_SOCKET (all ones)

// Winsock start-up (version 2.2) and clean-up, which Winsock counts; nothing to do elsewhere.
// Returns 0 or the start-up's error code.
int startSocketLibrary();
void stopSocketLibrary();

// Keeps the socket library started while it lives; throws std::system_error when it cannot.
class SocketLibrary {
public:
    SocketLibrary() {
        if (const int failed = startSocketLibrary(); failed != 0)
            throw std::system_error(failed, std::system_category(), "WSAStartup");
    }
    ~SocketLibrary() { stopSocketLibrary(); }
    SocketLibrary(const SocketLibrary&) = delete;
    SocketLibrary& operator=(const SocketLibrary&) = delete;
};

int lastSocketError();
// The last socket failure of this thread as an exception, prefixed with `what`.
std::system_error socketError(const std::string& what);

// Connecting out.
// A TCP/IPv4 stream socket, or kNoSocket (see lastSocketError).
Socket openTcpSocket();
bool setReceiveTimeout(Socket socket, std::chrono::milliseconds timeout);
bool connectIPv4(Socket socket, const std::string& dottedAddress, uint16_t port);
// Reads and drops whatever has already arrived, without waiting.
void discardPendingInput(Socket socket);

// Serving on 127.0.0.1.
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
void shutdownSending(Socket socket);
// Waits until one of `sockets` is readable (data, a connection, or the peer's close) and
// returns its index; -1 when `timeout` passed first (a negative timeout waits for ever).
int waitReadable(std::initializer_list<Socket> sockets, std::chrono::milliseconds timeout);

// Both ends.
// Bytes sent, or -1 on error. Never raises a signal for a closed peer.
long sendSome(Socket socket, const char* data, size_t size);
// Bytes received (0 when the peer closed), or -1 on error or time-out.
long receiveSome(Socket socket, char* buffer, size_t size);
void closeSocket(Socket socket);

}  // namespace orvapi::platform
