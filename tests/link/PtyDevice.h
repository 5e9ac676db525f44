#pragma once
// The device end of a pseudo-terminal pair in tests: the library opens slavePath() as its
// serial port, the test reads and writes the master side.
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "sim/gen3/PseudoTerminal.h"

namespace photarc::testing {

class PtyDevice {
public:
    const std::string& path() const { return pty.slavePath(); }
    void write(const std::string& bytes);
    // Writes what fits without blocking, after waiting up to the limit for room; returns the
    // count written (0 when the library has stopped reading and the terminal is full).
    size_t writeSome(const std::string& bytes, std::chrono::milliseconds limit);
    // Bytes from the library up to and including LF; empty when none came within the limit.
    std::string readLine(std::chrono::milliseconds limit = std::chrono::seconds(5));
    // One read of what is there (waits up to the limit for the first byte).
    std::string readSome(std::chrono::milliseconds limit = std::chrono::seconds(5));
    // Exactly count bytes, or fewer when the limit passes first.
    std::string readBytes(size_t count, std::chrono::milliseconds limit = std::chrono::seconds(5));
    // Waits until bytes written to the master side can be read on the slave side (the pty
    // hands them over asynchronously).
    bool waitUntilSlaveReadable(std::chrono::milliseconds limit = std::chrono::seconds(5));

private:
    sim::PseudoTerminal pty;
};

// Answers one command on a PtyDevice from another thread: reads what the library sends
// (one read), hands it to `reply`, writes the answer. Joined on destruction.
class PtyResponder {
public:
    PtyResponder(PtyDevice& device, std::function<std::string(const std::string&)> reply);
    ~PtyResponder();
    PtyResponder(const PtyResponder&) = delete;
    PtyResponder& operator=(const PtyResponder&) = delete;
    // What the library sent; waits for the responder to finish.
    const std::string& received();

private:
    std::string command;
    std::thread worker;
};

}  // namespace photarc::testing
