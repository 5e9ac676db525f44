// Transactions per second through orv_getIntensity against the simulator, over TCP and over a
// pseudo-terminal, alternating with a minimal raw client doing the same exchange on the same
// simulator. Prints medians of several rounds and the library's share of the raw rate.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <arpa/inet.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

#include "api/photarc.h"
#include "sim/gen3/Simulator.h"

namespace {

using Clock = std::chrono::steady_clock;
const char kCommand[] = "GET CHINT 0";

// A raw TCP client: the bare command in one send, the reply in one receive.
class RawTcp {
public:
    explicit RawTcp(uint16_t port) : fd(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            throw std::runtime_error("raw TCP connect failed");
    }
    ~RawTcp() { ::close(fd); }
    bool exchange() {
        char reply[512];
        return ::send(fd, kCommand, sizeof kCommand - 1, 0) > 0 && ::recv(fd, reply, sizeof reply, 0) > 0;
    }

private:
    int fd;
};

// A raw serial client: the command and LF in one write, reads until the reply's LF.
class RawSerial {
public:
    explicit RawSerial(const std::string& path) : fd(::open(path.c_str(), O_RDWR | O_NOCTTY)) {
        if (fd < 0) throw std::runtime_error("raw serial open failed");
        termios settings{};
        ::tcgetattr(fd, &settings);
        ::cfmakeraw(&settings);
        ::tcsetattr(fd, TCSANOW, &settings);
    }
    ~RawSerial() { ::close(fd); }
    bool exchange() {
        static const std::string line = std::string(kCommand) + "\n";
        if (::write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) return false;
        char reply[512];
        for (;;) {
            const ssize_t n = ::read(fd, reply, sizeof reply);
            if (n <= 0) return false;
            if (std::memchr(reply, '\n', static_cast<size_t>(n)) != nullptr) return true;
        }
    }

private:
    int fd;
};

// Exchanges per second over `seconds`.
double rate(const std::function<bool()>& exchange, double seconds) {
    const auto end = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    long count = 0;
    Clock::time_point now;
    const auto start = Clock::now();
    do {
        if (!exchange()) throw std::runtime_error("exchange failed");
        ++count;
    } while ((now = Clock::now()) < end);
    return static_cast<double>(count) / std::chrono::duration<double>(now - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

void compare(const char* name, const std::function<bool()>& library, const std::function<bool()>& raw, int rounds,
             double seconds) {
    std::vector<double> libraryRates, rawRates;
    rate(library, seconds / 5);  // warm up both paths
    rate(raw, seconds / 5);
    for (int round = 0; round < rounds; ++round) {
        libraryRates.push_back(rate(library, seconds));
        rawRates.push_back(rate(raw, seconds));
    }
    const double lib = median(libraryRates), bare = median(rawRates);
    std::printf("%-7s library %9.0f/s   raw client %9.0f/s   library/raw %5.1f%%   (%d rounds of %.2f s, medians)\n",
                name, lib, bare, 100.0 * lib / bare, rounds, seconds);
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = 7;
    double seconds = 0.5;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0) rounds = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::max(0.01, std::atof(argv[i + 1]));
    }
    try {
        photarc::sim::Simulator simulator;
        OrvHandle tcp = nullptr, serial = nullptr;
        orv_createLightEngine(&tcp);
        orv_createLightEngine(&serial);
        if (orv_connectTCP(tcp, "127.0.0.1", simulator.tcpPort()) != PHOTARC_OK ||
            orv_connectCOM(serial, simulator.serialPath().c_str(), 115200) != PHOTARC_OK)
            throw std::runtime_error("cannot connect to the simulator");
        const auto viaLibrary = [](OrvHandle h) {
            return [h] {
                int32_t value = 0;
                return orv_getIntensity(h, 0, &value) == PHOTARC_OK;
            };
        };

        RawTcp rawTcp(simulator.tcpPort());
        compare("TCP", viaLibrary(tcp), [&] { return rawTcp.exchange(); }, rounds, seconds);
        // One serial client at a time on the line: the library's port stays open but idle.
        RawSerial rawSerial(simulator.serialPath());
        compare("serial", viaLibrary(serial), [&] { return rawSerial.exchange(); }, rounds, seconds);

        orv_deleteLightEngine(tcp);
        orv_deleteLightEngine(serial);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "bench: %s\n", failure.what());
        return 1;
    }
    return 0;
}
