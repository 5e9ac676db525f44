#pragma once
// A handle, created and driven through the exports, connected to an in-process simulator over
// TCP or over its pseudo-terminal (where the platform has them).
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "api/photarc.h"
#include "link/Timeouts.h"
#include "sim/gen3/Simulator.h"

namespace photarc::testing {

enum class Transport { Tcp, Serial };

std::string nameOf(Transport transport);
// The transports the in-process simulator serves here: TCP, and serial where it has a serial front.
std::vector<Transport> simulatedTransports();
// Names parameterised test cases after their transport.
struct TransportName {
    template <class Info>
    std::string operator()(const Info& parameter) const {
        return nameOf(parameter.param);
    }
};

class SimulatedEngine {
public:
    // The engine is made with the given reply time-out (short ones for fault tests).
    SimulatedEngine(const sim::Simulator& simulator, Transport transport,
                    std::chrono::milliseconds replyTimeout = orvapi::kReplyTimeout);
    ~SimulatedEngine();
    SimulatedEngine(const SimulatedEngine&) = delete;
    SimulatedEngine& operator=(const SimulatedEngine&) = delete;

    OrvHandle handle() const { return engine; }
    // orv_connectCOM or orv_connectTCP to the simulator; the export's result.
    int32_t connect();
    int32_t lastErrorCode() const;
    std::string lastErrorText() const;

private:
    const sim::Simulator& simulator;
    Transport transport;
    OrvHandle engine = nullptr;
};

}  // namespace photarc::testing
