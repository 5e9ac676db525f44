#pragma once
// Serial link to a light engine: fixed line settings (8 data bits, one stop bit, no parity,
// no flow control) at a caller-given baud rate, LF-terminated reply lines, purge of pending
// input. All I/O runs on the calling thread; no thread is started.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>

#include "link/Timeouts.h"

namespace orvapi {

// The longest reply line that is read; a longer one fails its read.
constexpr size_t kMaxReplyLine = 1024 * 1024;

class SerialPort {
public:
    explicit SerialPort(std::chrono::milliseconds readTimeout = kReplyTimeout);
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Opens and configures the port; does nothing when already open. Throws std::runtime_error
    // when the port cannot be opened and std::system_error when a line setting fails (the port
    // is then closed again).
    void open(const std::string& name, uint32_t baudRate);
    // Closes the port when open.
    void close();
    // Never waits for another operation.
    bool isOpen() const { return openFlag.load(); }
    // Writes every byte of the block or throws std::runtime_error.
    void write(const std::string& bytes);
    // One reply line: bytes up to LF, CR dropped, LF not included. Throws std::runtime_error
    // on a read failure, when no LF arrived within the read time-out, or when the line grows
    // beyond kMaxReplyLine (the rest of that line is read and dropped first, up to its LF or
    // for kOverlongLineDrain at most, whichever comes first).
    std::string readLine();
    // Discards input that arrived but was not read (also what is buffered here).
    void purgeInput();

    std::string portName() const;
    uint32_t baudRate() const;

private:
    struct Io;  // Asio objects, kept out of this header
    mutable std::mutex portMutex;
    // Made by open and dropped by close: an Asio context holds descriptors of its own, which a
    // port that is not open must not keep.
    std::unique_ptr<Io> io;
    std::string openName;
    uint32_t openBaudRate = 0;
    std::atomic<bool> openFlag{false};
    std::chrono::milliseconds readTimeout;
    // Bytes read from the port but not yet consumed by readLine.
    std::string pending;

    void closeLocked();
    // Reads what has arrived into `pending`, waiting until the deadline at most (a deadline that
    // has passed reads nothing and gives a time-out).
    std::error_code receiveLocked(std::chrono::steady_clock::time_point deadline);
    [[noreturn]] void throwReadFailure(const std::string& message) const;
};

}  // namespace orvapi
