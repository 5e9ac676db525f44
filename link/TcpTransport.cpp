#include "link/TcpTransport.h"

#include <algorithm>
#include <cstring>

#include "link/LeException.h"
#include "link/StandardOutput.h"

namespace orvapi {

namespace {

[[noreturn]] void fail(const std::string& prefix, int code) { throw leFailure(prefix + std::to_string(code)); }

}  // namespace

TcpSocket tcpConnect(const std::string& address, uint16_t port, std::chrono::milliseconds receiveTimeout) {
    const int startupError = platform::startSocketLibrary();
    if (startupError != 0) fail("WinSock initialization failed with error: ", startupError);

    const TcpSocket socket = platform::openTcpSocket();
    if (socket == kNoTcpSocket) {
        const int code = platform::lastSocketError();
        platform::stopSocketLibrary();
        fail("TCP socket creation failed with error: ", code);
    }
    if (!platform::setReceiveTimeout(socket, receiveTimeout)) {
        const int code = platform::lastSocketError();
        platform::closeSocket(socket);
        platform::stopSocketLibrary();
        fail("Socket set timeout failed: ", code);
    }
    if (!platform::connectIPv4(socket, address, port)) {
        const int code = platform::lastSocketError();
        printLine("TCP socket connect server failed with error code: " + std::to_string(code));
        printLine("Exiting...");
        platform::closeSocket(socket);
        platform::stopSocketLibrary();
        fail("TCP connect to server failed: ", code);
    }
    return socket;
}

std::string tcpSendReceive(TcpSocket socket, const std::string& command) {
    if (command.size() > kMaxTcpCommandLength)
        throw leFailure("Command length exceeds maximum size of " + std::to_string(kMaxTcpCommandLength));

    char buffer[kMaxTcpCommandLength];
    std::memset(buffer, 0, sizeof buffer);

    // The tail of an earlier reply that the network split must not answer this command.
    platform::discardPendingInput(socket);

    size_t sentSoFar = 0;
    while (sentSoFar < command.size()) {
        const long sent = platform::sendSome(socket, command.data() + sentSoFar, command.size() - sentSoFar);
        if (sent < 0) fail("TCP send failed: ", platform::lastSocketError());
        sentSoFar += static_cast<size_t>(sent);
    }

    const long received = platform::receiveSome(socket, buffer, sizeof buffer);
    if (received < 0) fail("TCP receive failed: ", platform::lastSocketError());

    const char* begin = buffer;
    const char* end = begin + received;
    return std::string(begin, std::find(begin, end, '\0'));
}

void tcpClose(TcpSocket socket) {
    platform::closeSocket(socket);
    platform::stopSocketLibrary();
}

}  // namespace orvapi
