#pragma once
// A pseudo-terminal pair in raw mode: the slave side stands in for a serial device node that
// a client opens by path; the master side is the "device" end.
#include <string>

namespace photarc::sim {

class PseudoTerminal {
public:
    // Throws std::system_error when no pair can be had.
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    int masterFd() const { return master; }
    // Kept open for the pair's whole life so the master never sees a hang-up between clients.
    int slaveFd() const { return slave; }
    const std::string& slavePath() const { return path; }

private:
    int master = -1;
    int slave = -1;
    std::string path;
};

}  // namespace photarc::sim
