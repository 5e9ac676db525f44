#pragma once
// Platform seam for TCP: thin wrappers over BSD sockets or Winsock 2. Error codes are the
// platform's own (errno values, or WSAGetLastError codes on Windows).
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace orvapi::platform {

// Winsock start-up (version 2.2) and clean-up; nothing to do elsewhere. Returns 0 or an error code.
int socketLibraryStartup();
void socketLibraryCleanup();

// A TCP/IPv4 stream socket as a positive 32-bit value, or -1 (see lastSocketError).
int32_t openTcpSocket();
int lastSocketError();
bool setReceiveTimeout(int32_t socket, std::chrono::milliseconds timeout);
bool connectIPv4(int32_t socket, const std::string& dottedAddress, uint16_t port);
// Bytes sent, or -1 on error. Never raises a signal for a closed peer.
long sendSome(int32_t socket, const char* data, size_t size);
// Bytes received (0 when the peer closed), or -1 on error or time-out.
long receiveSome(int32_t socket, char* buffer, size_t size);
// Reads and drops whatever has already arrived, without waiting.
void discardPendingInput(int32_t socket);
void closeSocket(int32_t socket);

}  // namespace orvapi::platform
