#include "sim/gen3/TcpFront.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>

#include "sim/gen3/Delivery.h"

namespace photarc::sim {

namespace {

[[noreturn]] void fail(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

// Waits until `fd` is readable; false when the stop signal came first.
bool waitReadable(int fd, const StopSignal& stop) {
    pollfd entries[2] = {{fd, POLLIN, 0}, {stop.fd(), POLLIN, 0}};
    for (;;) {
        const int ready = ::poll(entries, 2, -1);
        if (ready < 0 && errno == EINTR) continue;
        return ready > 0 && entries[1].revents == 0;
    }
}

// After a hang-up: read and drop until the client closes too (or we stop).
void drainUntilClosed(int client, const StopSignal& stop) {
    char scratch[4096];
    while (waitReadable(client, stop) && ::recv(client, scratch, sizeof scratch, 0) > 0) {
    }
}

}  // namespace

std::vector<std::string> commandsInChunk(const std::string& chunk) {
    std::vector<std::string> commands;
    size_t start = 0;
    while (start < chunk.size()) {
        size_t end = chunk.find('\n', start);
        if (end == std::string::npos) end = chunk.size();
        std::string line = chunk.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) commands.push_back(line);
        start = end + 1;
    }
    return commands;
}

TcpFront::TcpFront(DeviceHub& hub_, const StopSignal& stop_, uint16_t port) : hub(hub_), stop(stop_) {
    listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener < 0) fail("socket");
    const int yes = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    socklen_t length = sizeof address;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener, 16) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        const int error = errno;
        ::close(listener);
        throw std::system_error(error, std::generic_category(), "listen on 127.0.0.1:" + std::to_string(port));
    }
    boundPort = ntohs(address.sin_port);
}

TcpFront::~TcpFront() {
    if (acceptor.joinable()) acceptor.join();
    for (auto& connection : connections) connection.worker.join();
    ::close(listener);
}

void TcpFront::start() { acceptor = std::thread([this] { acceptLoop(); }); }

void TcpFront::acceptLoop() {
    while (waitReadable(listener, stop)) {
        const int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        reapFinished();
        auto finished = std::make_shared<std::atomic<bool>>(false);
        connections.push_back({std::thread([this, client, finished] {
                                   serve(client);
                                   *finished = true;
                               }),
                               finished});
    }
}

void TcpFront::reapFinished() {
    for (auto it = connections.begin(); it != connections.end();) {
        if (*it->finished) {
            it->worker.join();
            it = connections.erase(it);
        } else {
            ++it;
        }
    }
}

void TcpFront::serve(int client) {
    // A reply split over two sends would meet delayed acknowledgement: send each whole, at once.
    const int yes = 1;
    ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    FaultCounter counter;
    const auto send = [client](const std::string& bytes) { (void)::send(client, bytes.data(), bytes.size(), MSG_NOSIGNAL); };

    char buffer[4096];
    bool open = true;
    while (open && waitReadable(client, stop)) {
        const ssize_t received = ::recv(client, buffer, sizeof buffer, 0);
        if (received <= 0) break;
        for (const auto& command : commandsInChunk(std::string(buffer, static_cast<size_t>(received)))) {
            const ReplyPlan plan = hub.exchange(command, counter);
            if (plan.hangUp) {
                // The client sees end-of-stream; it closes its end when it reconnects.
                ::shutdown(client, SHUT_WR);
                drainUntilClosed(client, stop);
                open = false;
                break;
            }
            if (!deliver(plan, stop, send)) {
                open = false;
                break;
            }
        }
    }
    ::close(client);
}

}  // namespace photarc::sim
