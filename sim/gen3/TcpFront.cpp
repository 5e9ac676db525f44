#include "sim/gen3/TcpFront.h"

#include "sim/gen3/Delivery.h"

namespace photarc::sim {

namespace {

using net::Socket;

// Waits until `socket` is readable; false when the stop signal came first.
bool waitReadable(Socket socket, const StopSignal& stop) {
    return net::waitReadable({socket, stop.socket()}, std::chrono::milliseconds(-1)) == 0;
}

// After a hang-up: read and drop until the client closes too (or we stop).
void drainUntilClosed(Socket client, const StopSignal& stop) {
    char scratch[4096];
    while (waitReadable(client, stop) && net::receiveSome(client, scratch, sizeof scratch) > 0) {
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

TcpFront::TcpFront(DeviceHub& hub_, const StopSignal& stop_, uint16_t port)
    : hub(hub_), stop(stop_), listener(net::bindLoopback(port, 16)) {
    try {
        boundPort = net::localPort(listener);
    } catch (...) {
        net::closeSocket(listener);
        throw;
    }
}

TcpFront::~TcpFront() {
    if (acceptor.joinable()) acceptor.join();
    for (auto& connection : connections) connection.worker.join();
    net::closeSocket(listener);
}

void TcpFront::start() { acceptor = std::thread([this] { acceptLoop(); }); }

void TcpFront::acceptLoop() {
    while (waitReadable(listener, stop)) {
        const Socket client = net::acceptConnection(listener);
        if (client == net::kNoSocket) continue;
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

void TcpFront::serve(Socket client) {
    // A reply split over two sends would meet delayed acknowledgement: send each whole, at once.
    net::setNoDelay(client);
    FaultCounter counter;
    const auto send = [client](const std::string& bytes) { (void)net::sendSome(client, bytes.data(), bytes.size()); };

    char buffer[4096];
    bool open = true;
    while (open && waitReadable(client, stop)) {
        const long received = net::receiveSome(client, buffer, sizeof buffer);
        if (received <= 0) break;
        for (const auto& command : commandsInChunk(std::string(buffer, static_cast<size_t>(received)))) {
            const ReplyPlan plan = hub.exchange(command, counter);
            if (plan.hangUp) {
                // The client sees end-of-stream; it closes its end when it reconnects.
                net::shutdownSending(client);
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
    net::closeSocket(client);
}

}  // namespace photarc::sim
