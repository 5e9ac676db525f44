#include "tests/integration/SimulatedEngine.h"

#include <memory>
#include <stdexcept>

#include "engine/gen3/Gen3LightEngine.h"

namespace photarc::testing {

std::string nameOf(Transport transport) { return transport == Transport::Tcp ? "Tcp" : "Serial"; }

std::vector<Transport> simulatedTransports() {
    if (sim::serialFrontAvailable()) return {Transport::Tcp, Transport::Serial};
    return {Transport::Tcp};
}

SimulatedEngine::SimulatedEngine(const sim::Simulator& simulator_, Transport transport_,
                                 std::chrono::milliseconds replyTimeout)
    : simulator(simulator_), transport(transport_) {
    // The handle is what orv_createLightEngine hands out, made here with our own time-out.
    auto made = std::make_unique<orvapi::Gen3LightEngine>(replyTimeout);
    engine = static_cast<orvapi::LightEngine*>(made.release());
    if (connect() != PHOTARC_OK) throw std::runtime_error("cannot connect to the simulator: " + lastErrorText());
}

SimulatedEngine::~SimulatedEngine() { orv_deleteLightEngine(engine); }

int32_t SimulatedEngine::connect() {
    if (transport == Transport::Tcp) return orv_connectTCP(engine, "127.0.0.1", simulator.tcpPort());
    return orv_connectCOM(engine, simulator.serialPath().c_str(), 115200);
}

int32_t SimulatedEngine::lastErrorCode() const {
    int32_t code = 0;
    orv_getLastErrorCode(engine, &code);
    return code;
}

std::string SimulatedEngine::lastErrorText() const {
    char text[2048] = {};
    orv_getLastErrorText(engine, text, sizeof text);
    return text;
}

}  // namespace photarc::testing
