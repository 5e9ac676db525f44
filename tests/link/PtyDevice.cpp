#include "tests/link/PtyDevice.h"

#include <fcntl.h>
#include <poll.h>

#include <algorithm>
#include <stdexcept>
#include <unistd.h>

namespace photarc::testing {

namespace {

bool waitReadable(int fd, std::chrono::milliseconds limit) {
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, static_cast<int>(limit.count())) == 1 && (entry.revents & POLLIN) != 0;
}

}  // namespace

void PtyDevice::write(const std::string& bytes) {
    if (::write(pty.masterFd(), bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        throw std::runtime_error("write to pseudo-terminal failed");
}

size_t PtyDevice::writeSome(const std::string& bytes, std::chrono::milliseconds limit) {
    pollfd entry{pty.masterFd(), POLLOUT, 0};
    if (::poll(&entry, 1, static_cast<int>(limit.count())) != 1) return 0;
    const int flags = ::fcntl(pty.masterFd(), F_GETFL);
    ::fcntl(pty.masterFd(), F_SETFL, flags | O_NONBLOCK);
    const ssize_t n = ::write(pty.masterFd(), bytes.data(), bytes.size());
    ::fcntl(pty.masterFd(), F_SETFL, flags);
    return n > 0 ? static_cast<size_t>(n) : 0;
}

std::string PtyDevice::readSome(std::chrono::milliseconds limit) {
    if (!waitReadable(pty.masterFd(), limit)) return {};
    char buffer[1024];
    const ssize_t n = ::read(pty.masterFd(), buffer, sizeof buffer);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

std::string PtyDevice::readBytes(size_t count, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::string received;
    while (received.size() < count) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !waitReadable(pty.masterFd(), left)) break;
        char chunk[64];
        const ssize_t n = ::read(pty.masterFd(), chunk, std::min(sizeof chunk, count - received.size()));
        if (n <= 0) break;
        received.append(chunk, static_cast<size_t>(n));
    }
    return received;
}

std::string PtyDevice::readLine(std::chrono::milliseconds limit) {
    std::string line;
    while (line.empty() || line.back() != '\n') {
        const std::string piece = readSome(limit);
        if (piece.empty()) return line;
        line += piece;
    }
    return line;
}

bool PtyDevice::waitUntilSlaveReadable(std::chrono::milliseconds limit) {
    return waitReadable(pty.slaveFd(), limit);
}

PtyResponder::PtyResponder(PtyDevice& device, std::function<std::string(const std::string&)> reply)
    : worker([this, &device, reply = std::move(reply)] {
          command = device.readSome();
          device.write(reply(command));
      }) {}

PtyResponder::~PtyResponder() {
    if (worker.joinable()) worker.join();
}

const std::string& PtyResponder::received() {
    if (worker.joinable()) worker.join();
    return command;
}

}  // namespace photarc::testing
