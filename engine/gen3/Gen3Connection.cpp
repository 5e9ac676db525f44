// Connection life cycle and the command transaction of Gen3LightEngine.
// Lock order: engineMutex, then the serial port's own lock (taken inside each SerialPort call).
#include <cerrno>

#include "engine/DriverFailures.h"
#include "engine/gen3/Gen3LightEngine.h"
#include "link/LeException.h"
#include "link/TcpTransport.h"

namespace orvapi {

namespace {

// A line break would end the command early on the wire and send the rest as a second command,
// whose reply would then answer a later call.
void requireOneLine(const std::string& command) {
    if (command.find('\n') != std::string::npos || command.find('\r') != std::string::npos)
        throw LeException("Invalid argument: line break in command text", EINVAL);
}

}  // namespace

Gen3LightEngine::Gen3LightEngine(std::chrono::milliseconds replyTimeout_)
    : serialLink(replyTimeout_), replyTimeout(replyTimeout_) {}

Gen3LightEngine::~Gen3LightEngine() {
    std::lock_guard<std::mutex> guard(engineMutex);
    closeLinks();
}

void Gen3LightEngine::closeLinks() {
    if (serialLink.isOpen()) serialLink.close();
    const TcpSocket socket = tcpSocket.exchange(kNoTcpSocket);
    if (socket != kNoTcpSocket) tcpClose(socket);
}

void Gen3LightEngine::connectTCP(const std::string& address, uint16_t port) {
    std::lock_guard<std::mutex> guard(engineMutex);
    closeLinks();
    tcpSocket = tcpConnect(address, port, replyTimeout);
}

void Gen3LightEngine::connectCOM(const std::string& portName, uint32_t baudRate) {
    std::lock_guard<std::mutex> guard(engineMutex);
    closeLinks();
    serialLink.open(portName, baudRate);
}

void Gen3LightEngine::disconnect() {
    std::lock_guard<std::mutex> guard(engineMutex);
    closeLinks();
}

bool Gen3LightEngine::getConnected() { return serialLink.isOpen() || tcpSocket != kNoTcpSocket; }

std::string Gen3LightEngine::executeCommand(const std::string& command) {
    requireOneLine(command);
    std::lock_guard<std::mutex> guard(engineMutex);
    if (serialLink.isOpen()) {
        serialLink.purgeInput();
        // A NUL ends the command on the wire; the terminator then goes too.
        const size_t nul = command.find('\0');
        serialLink.write(nul == std::string::npos ? command + "\n" : command.substr(0, nul));
        return serialLink.readLine();
    }
    if (const TcpSocket socket = tcpSocket; socket != kNoTcpSocket) return tcpSendReceive(socket, command);
    throw leFailure("Not connected");
}

// Stored under the engine lock, so that a store waits for a transaction in progress; the readers
// take only the last error's own small lock.
void Gen3LightEngine::setLastError(int code, const std::string& text) {
    std::lock_guard<std::mutex> guard(engineMutex);
    lastError.set(code, text);
}

int Gen3LightEngine::getLastErrorCode() { return lastError.code(); }

std::string Gen3LightEngine::getLastErrorText() { return lastError.text(); }

void Gen3LightEngine::throwLeException() { throwTestException(); }

}  // namespace orvapi
