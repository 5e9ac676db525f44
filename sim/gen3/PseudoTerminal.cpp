#include "sim/gen3/PseudoTerminal.h"

#include <cerrno>
#include <fcntl.h>
#include <pty.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace photarc::sim {

PseudoTerminal::PseudoTerminal() {
    char name[256] = {};
    termios raw{};
    ::cfmakeraw(&raw);
    // Raw from the start: no echo and no CR/LF translation before a client configures the port.
    if (::openpty(&master, &slave, name, &raw, nullptr) != 0)
        throw std::system_error(errno, std::generic_category(), "openpty");
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    path = name;
}

PseudoTerminal::~PseudoTerminal() {
    ::close(slave);
    ::close(master);
}

}  // namespace photarc::sim
