#include "link/SerialPort.h"

// Asio's handler fences are invisible to ThreadSanitizer, and GCC warns about each. Every Asio
// call here runs under portMutex, which the sanitizer does see.
#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ >= 12
#pragma GCC diagnostic ignored "-Wtsan"
#endif
#include <asio.hpp>
#include <algorithm>
#include <stdexcept>
#include <system_error>

#include "link/platform/SerialPurge.h"
#include "link/platform/SerialRead.h"

namespace orvapi {

namespace {

std::string overlongLine() { return "reply line longer than " + std::to_string(kMaxReplyLine) + " bytes"; }

std::error_code notOpen() { return std::make_error_code(std::errc::bad_file_descriptor); }

}  // namespace

struct SerialPort::Io {
    asio::io_context ioContext;
    asio::serial_port port{ioContext};
};

SerialPort::SerialPort(std::chrono::milliseconds readTimeout_) : readTimeout(readTimeout_) {}

SerialPort::~SerialPort() {
    std::lock_guard<std::mutex> guard(portMutex);
    closeLocked();
}

void SerialPort::open(const std::string& name, uint32_t baud) {
    std::lock_guard<std::mutex> guard(portMutex);
    if (io) return;

    // On any failure below `opened` goes, closing the port: a port that could not be opened or
    // configured must not count as a connection.
    auto opened = std::make_unique<Io>();
    std::error_code error;
    opened->port.open(name, error);
    if (error)
        throw std::runtime_error("Failed to open serial port " + name + " (" + error.message() +
                                 "), baud rate: " + std::to_string(baud));
    using asio::serial_port_base;
    opened->port.set_option(serial_port_base::baud_rate(baud));
    opened->port.set_option(serial_port_base::character_size(8));
    opened->port.set_option(serial_port_base::stop_bits(serial_port_base::stop_bits::one));
    opened->port.set_option(serial_port_base::parity(serial_port_base::parity::none));
    opened->port.set_option(serial_port_base::flow_control(serial_port_base::flow_control::none));
    io = std::move(opened);
    pending.clear();
    openName = name;
    openBaudRate = baud;
    openFlag = true;
}

void SerialPort::close() {
    std::lock_guard<std::mutex> guard(portMutex);
    closeLocked();
}

void SerialPort::closeLocked() {
    if (!io) return;
    std::error_code ignored;
    io->port.cancel(ignored);
    io->port.close(ignored);
    io.reset();
    pending.clear();
    openBaudRate = 0;
    openName.clear();
    openFlag = false;
}

void SerialPort::write(const std::string& bytes) {
    std::lock_guard<std::mutex> guard(portMutex);
    std::error_code error = notOpen();
    if (io) asio::write(io->port, asio::buffer(bytes), error);
    if (error)
        throw std::runtime_error("Failed to write data to serial port " + openName + " (" + error.message() + ")");
}

void SerialPort::throwReadFailure(const std::string& message) const {
    throw std::runtime_error("Failed to read data from serial port " + openName + " (" + message + ")");
}

std::string SerialPort::readLine() {
    std::lock_guard<std::mutex> guard(portMutex);
    if (!io) throwReadFailure(notOpen().message());

    auto deadline = std::chrono::steady_clock::now() + readTimeout;
    std::string line;
    // Past the limit the rest of the line is still read, so that it cannot answer the next
    // command, but nothing more of it is kept, and only for a short while: a faulty device may
    // never end it.
    bool overlong = false;
    for (;;) {
        const size_t lineEnd = pending.find('\n');
        if (!overlong) {
            const size_t end = lineEnd == std::string::npos ? pending.size() : lineEnd;
            for (size_t i = 0; i < end; ++i)
                if (pending[i] != '\r') line.push_back(pending[i]);
            if (line.size() > kMaxReplyLine) {
                overlong = true;
                std::string().swap(line);
                deadline = std::min(deadline, std::chrono::steady_clock::now() + kOverlongLineDrain);
            }
        }
        if (lineEnd != std::string::npos) {
            pending.erase(0, lineEnd + 1);
            if (overlong) throwReadFailure(overlongLine());
            return line;
        }
        pending.clear();
        if (const std::error_code error = receiveLocked(deadline))
            throwReadFailure(overlong ? overlongLine() : error.message());
    }
}

std::error_code SerialPort::receiveLocked(std::chrono::steady_clock::time_point deadline) {
    // Also when bytes keep coming: a device that trickles a line without end must not hold the
    // port beyond the deadline.
    if (std::chrono::steady_clock::now() >= deadline) return asio::error::timed_out;
    char chunk[4096];
    std::error_code readError;
    size_t received = 0;
    if (platform::kCanReadSerialHandle) {
        // Two system calls per read, where Asio's reactor needs three or four.
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        const long n = platform::readSerialInput(io->port.native_handle(), chunk, sizeof chunk, left, readError);
        if (n == 0) return asio::error::eof;
        if (n > 0) pending.assign(chunk, static_cast<size_t>(n));
        return readError;
    }
    bool finished = false;
    io->port.async_read_some(asio::buffer(chunk), [&](const std::error_code& ec, size_t n) {
        readError = ec;
        received = n;
        finished = true;
    });
    io->ioContext.restart();
    const auto now = std::chrono::steady_clock::now();
    if (deadline > now) io->ioContext.run_for(deadline - now);
    if (!finished) {
        // Time is up: cancel the read and let its handler run before leaving.
        std::error_code ignored;
        io->port.cancel(ignored);
        io->ioContext.restart();
        io->ioContext.run();
        if (readError == asio::error::operation_aborted) return asio::error::timed_out;
    }
    pending.assign(chunk, received);
    return readError;
}

void SerialPort::purgeInput() {
    std::lock_guard<std::mutex> guard(portMutex);
    pending.clear();
    if (io) platform::purgeSerialInput(io->port.native_handle());
}

std::string SerialPort::portName() const {
    std::lock_guard<std::mutex> guard(portMutex);
    return openName;
}

uint32_t SerialPort::baudRate() const {
    std::lock_guard<std::mutex> guard(portMutex);
    return openBaudRate;
}

}  // namespace orvapi
