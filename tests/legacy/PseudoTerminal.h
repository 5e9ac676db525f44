#pragma once
// A pseudo-terminal pair standing in for a serial device: the driver opens slavePath(), the
// test reads what it wrote from the master side.
#include <chrono>
#include <string>

class PseudoTerminal {
public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    const std::string& slavePath() const { return path; }
    // Waits until count bytes have arrived (or the generous deadline passes) and returns what came.
    std::string read(size_t count, std::chrono::milliseconds deadline = std::chrono::seconds(5));

private:
    int master = -1;
    // Held open so that the device side never hangs up while the driver reconnects.
    int slave = -1;
    std::string path;
};
