#pragma once
// TCP link to a light engine: one send of the bare command, one receive of the reply.
#include <chrono>
#include <cstdint>
#include <string>

#include "link/Timeouts.h"
#include "link/platform/Sockets.h"

namespace orvapi {

// Commands longer than this are refused before anything is sent.
constexpr size_t kMaxTcpCommandLength = 512;

using TcpSocket = platform::Socket;
constexpr TcpSocket kNoTcpSocket = platform::kNoSocket;

// Connects to a dotted IPv4 address. On failure nothing stays open and an LeException (code -1)
// is thrown; a refused or failed connect also prints two lines on standard output.
TcpSocket tcpConnect(const std::string& address, uint16_t port,
                   std::chrono::milliseconds receiveTimeout = kReplyTimeout);

// One exchange: discards stale input, sends every byte of the command, returns what one
// receive delivers (cut at the first NUL). Throws LeException (code -1); the socket stays open.
std::string tcpSendReceive(TcpSocket socket, const std::string& command);

// Closes a socket from tcpConnect and ends the socket-library use that connect began.
void tcpClose(TcpSocket socket);

}  // namespace orvapi
