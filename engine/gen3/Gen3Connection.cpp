// Connection life cycle and the command transaction of Gen3LightEngine.
// Lock order: engineMutex, then the serial port's own lock (taken inside each SerialPort call).
#include <cerrno>

#include "engine/DriverFailures.h"
#include "engine/gen3/Gen3LightEngine.h"
#include "link/LeException.h"
#include "link/TcpTransport.h"

namespace orvapi {

namespace {

// Refused before anything is sent: a line break would end the command early on the wire and
// send the rest as a second command, whose reply would then answer a later call; a NUL would cut
// it short; and a text with no word in it gets no reply over TCP, so it would wait for the whole
// reply time-out.
void requireSendable(const std::string& command) {
    const auto refuse = [](const std::string& what) { throw LeException("Invalid argument: " + what, EINVAL); };
    if (command.find_first_of("\r\n") != std::string::npos) refuse("line break in command text");
    if (command.find('\0') != std::string::npos) refuse("NUL in command text");
    if (command.find_first_not_of(" \t\v\f") == std::string::npos) refuse("empty command text");
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
    requireSendable(command);
    std::lock_guard<std::mutex> guard(engineMutex);
    if (serialLink.isOpen()) {
        serialLink.purgeInput();
        serialLink.write(command + "\n");
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
