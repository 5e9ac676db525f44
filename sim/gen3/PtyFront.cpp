#include "sim/gen3/PtyFront.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "sim/gen3/Delivery.h"

namespace photarc::sim {

namespace {

// A reply nobody reads fills the terminal's queue; rather drop it than stall the device.
constexpr int kWriteWaitMs = 1000;

}  // namespace

bool serialFrontAvailable() { return true; }

std::unique_ptr<SerialFront> makeSerialFront(DeviceHub& hub, const StopSignal& stop) {
    return std::make_unique<PtyFront>(hub, stop);
}

PtyFront::PtyFront(DeviceHub& hub_, const StopSignal& stop_) : hub(hub_), stop(stop_) {
    ::fcntl(pty.masterFd(), F_SETFL, ::fcntl(pty.masterFd(), F_GETFL) | O_NONBLOCK);
}

PtyFront::~PtyFront() {
    if (worker.joinable()) worker.join();
}

void PtyFront::start() { worker = std::thread([this] { serve(); }); }

void PtyFront::writeAll(const std::string& bytes) {
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(pty.masterFd(), bytes.data() + written, bytes.size() - written);
        if (n > 0) {
            written += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        pollfd entry{pty.masterFd(), POLLOUT, 0};
        if (n < 0 && errno == EAGAIN && ::poll(&entry, 1, kWriteWaitMs) > 0) continue;
        return;
    }
}

void PtyFront::serve() {
    FaultCounter counter;
    std::string pending;
    char buffer[4096];
    pollfd entries[2] = {{pty.masterFd(), POLLIN, 0}, {static_cast<int>(stop.socket()), POLLIN, 0}};
    for (;;) {
        if (::poll(entries, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (entries[1].revents != 0) return;
        const ssize_t n = ::read(pty.masterFd(), buffer, sizeof buffer);
        if (n <= 0) continue;
        pending.append(buffer, static_cast<size_t>(n));
        for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            const ReplyPlan plan = hub.exchange(line, counter);
            if (plan.hangUp) continue;
            if (!deliver(plan, stop, [this](const std::string& part) { writeAll(part); })) return;
        }
    }
}

}  // namespace photarc::sim
