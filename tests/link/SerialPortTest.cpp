#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <future>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "link/SerialPort.h"
#include "tests/link/PtyDevice.h"

using namespace orvapi;
using photarc::testing::PtyDevice;
using namespace std::chrono_literals;

namespace {

std::string systemMessage(int error) { return std::error_code(error, std::system_category()).message(); }

// The text of the std::runtime_error that `call` throws.
template <class Call>
std::string runtimeFailureOf(Call call) {
    try {
        call();
    } catch (const std::runtime_error& failure) {
        return failure.what();
    }
    ADD_FAILURE() << "no std::runtime_error thrown";
    return {};
}

class SerialPortOverPty : public ::testing::Test {
protected:
    void SetUp() override { port.open(device.path(), 115200); }

    PtyDevice device;
    SerialPort port{5s};
};

}  // namespace

TEST_F(SerialPortOverPty, ReadsLinesDroppingCarriageReturns) {
    device.write("A 1\r\nB\r2\n\n\r\r\nlast\n");
    EXPECT_EQ(port.readLine(), "A 1");
    EXPECT_EQ(port.readLine(), "B2");
    EXPECT_EQ(port.readLine(), "");
    EXPECT_EQ(port.readLine(), "");
    EXPECT_EQ(port.readLine(), "last");
}

TEST_F(SerialPortOverPty, ALineBeyondOneMebibyteFailsAndItsRestIsDropped) {
    const std::string longest(kMaxReplyLine, 'x');
    std::thread deviceSide([&] { device.write(longest + "\r\n" + longest + "yz\r\nnext\n"); });
    EXPECT_EQ(port.readLine(), longest);
    EXPECT_EQ(runtimeFailureOf([&] { port.readLine(); }),
              "Failed to read data from serial port " + device.path() + " (reply line longer than 1048576 bytes)");
    EXPECT_EQ(port.readLine(), "next");
    deviceSide.join();
}

TEST(SerialPort, ALineBeyondOneMebibyteFailsPromptlyWhateverTheDeviceSendsNext) {
    // The port's own time-out is far beyond the wait below: only giving up on the broken line
    // ends the read in time, whether the device goes silent or never stops sending.
    for (const bool keepsSending : {false, true}) {
        SCOPED_TRACE(keepsSending ? "the device keeps sending" : "the device goes silent");
        PtyDevice device;
        SerialPort port(60s);
        port.open(device.path(), 115200);
        std::atomic<bool> stop{false};
        std::thread deviceSide([&] {
            const std::string chunk(4096, 'x');
            for (size_t sent = 0; !stop && (keepsSending || sent <= kMaxReplyLine);) sent += device.writeSome(chunk, 50ms);
        });
        auto read = std::async(std::launch::async, [&] { return runtimeFailureOf([&] { port.readLine(); }); });
        EXPECT_EQ(read.wait_for(30s), std::future_status::ready);
        EXPECT_EQ(read.get(),
                  "Failed to read data from serial port " + device.path() + " (reply line longer than 1048576 bytes)");
        stop = true;
        deviceSide.join();
        // What is left of the line goes with the purge before the next command.
        port.purgeInput();
        device.write("next\n");
        EXPECT_EQ(port.readLine(), "next");
    }
}

TEST_F(SerialPortOverPty, KeepsNulBytesInsideALine) {
    device.write(std::string("A\0B\n", 4));
    EXPECT_EQ(port.readLine(), std::string("A\0B", 3));
}

TEST_F(SerialPortOverPty, WritesEveryByte) {
    port.write("GET SN\n");
    EXPECT_EQ(device.readLine(), "GET SN\n");
}

TEST_F(SerialPortOverPty, PurgeDiscardsWhatArrivedEarlier) {
    // Two stale lines: one still in the terminal's queue, and (after the first read) one that
    // only sits in the port's own read buffer.
    device.write("stale 1\nstale 2\n");
    ASSERT_TRUE(device.waitUntilSlaveReadable());
    EXPECT_EQ(port.readLine(), "stale 1");
    port.purgeInput();
    device.write("fresh\n");
    EXPECT_EQ(port.readLine(), "fresh");

    device.write("stale 3\n");
    ASSERT_TRUE(device.waitUntilSlaveReadable());
    port.purgeInput();
    device.write("fresh again\n");
    EXPECT_EQ(port.readLine(), "fresh again");
}

TEST(SerialPort, ALineThatNeverEndsTimesOut) {
    PtyDevice device;
    SerialPort port(300ms);
    port.open(device.path(), 115200);
    device.write("A 1 no line end");
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(runtimeFailureOf([&] { port.readLine(); }),
              "Failed to read data from serial port " + device.path() + " (" + systemMessage(ETIMEDOUT) + ")");
    EXPECT_GE(std::chrono::steady_clock::now() - started, 250ms);
    // The port stays usable.
    EXPECT_TRUE(port.isOpen());
    device.write("A 2\n");
    EXPECT_EQ(port.readLine(), "A 2");
}

TEST_F(SerialPortOverPty, OpenOnAnOpenPortChangesNothing) {
    port.open("/dev/does-not-exist", 9600);
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(port.portName(), device.path());
    EXPECT_EQ(port.baudRate(), 115200u);
}

TEST_F(SerialPortOverPty, CloseForgetsNameAndRateAndIsRepeatable) {
    port.close();
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.portName(), "");
    EXPECT_EQ(port.baudRate(), 0u);
    port.close();
    EXPECT_FALSE(port.isOpen());
}

TEST(SerialPort, OpenFailureNamesPortReasonAndRate) {
    SerialPort port;
    EXPECT_EQ(runtimeFailureOf([&] { port.open("/dev/photarc-no-such-port", 9600); }),
              "Failed to open serial port /dev/photarc-no-such-port (" + systemMessage(ENOENT) + "), baud rate: 9600");
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.portName(), "");
}

TEST(SerialPort, AFailedLineSettingClosesThePortAgain) {
    PtyDevice device;
    SerialPort port;
    try {
        port.open(device.path(), 12345);  // not a rate the terminal layer knows
        FAIL() << "open succeeded";
    } catch (const std::system_error& failure) {
        EXPECT_EQ(std::string(failure.what()).rfind("set_option", 0), 0u) << failure.what();
    }
    EXPECT_FALSE(port.isOpen());
    port.open(device.path(), 9600);
    EXPECT_TRUE(port.isOpen());
}

TEST(SerialPort, WriteAndReadOnAClosedPortFail) {
    SerialPort port;
    const std::string write = runtimeFailureOf([&] { port.write("X\n"); });
    EXPECT_EQ(write.rfind("Failed to write data to serial port  (", 0), 0u) << write;
    EXPECT_EQ(write.back(), ')');
    const std::string read = runtimeFailureOf([&] { port.readLine(); });
    EXPECT_EQ(read.rfind("Failed to read data from serial port  (", 0), 0u) << read;
}
