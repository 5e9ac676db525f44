#include "PseudoTerminal.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

PseudoTerminal::PseudoTerminal() {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) throw std::runtime_error("no pseudo-terminal");
    path = ptsname(master);
    slave = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    if (slave < 0) throw std::runtime_error("cannot open " + path);
    termios raw{};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave, TCSANOW, &raw);
}

PseudoTerminal::~PseudoTerminal() {
    ::close(slave);
    ::close(master);
}

std::string PseudoTerminal::read(size_t count, std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    std::string received;
    while (received.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd ready{master, POLLIN, 0};
        if (poll(&ready, 1, static_cast<int>(left.count())) <= 0) break;
        char chunk[64];
        const ssize_t n = ::read(master, chunk, std::min(sizeof chunk, count - received.size()));
        if (n <= 0) break;
        received.append(chunk, static_cast<size_t>(n));
    }
    return received;
}
