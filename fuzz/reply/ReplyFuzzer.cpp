// Feeds arbitrary bytes as a device reply to the reply helpers and to every operation of the
// command set, checking that only LeException escapes and that the helpers agree.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/gen3/Gen3LightEngine.h"
#include "engine/gen3/Reply.h"
#include "link/LeException.h"

namespace {

using namespace orvapi;

// Answers every command with the reply under test.
class FixedReplyEngine : public Gen3LightEngine {
public:
    std::string executeCommand(const std::string&) override { return reply; }
    std::string reply;
};

void require(bool condition) {
    if (!condition) std::abort();
}

void checkHelpers(const std::string& reply) {
    const auto tokens = tokenize(reply);
    for (const auto& token : tokens) require(!token.empty() && token.find_first_of(" \t\r\n\v\f") == std::string::npos);
    const int code = getResponseCode(reply);
    const bool ok = isResponseOk(reply);
    // An "E" reply may itself carry -2, so only one direction holds.
    require(!tokens.empty() || code == -2);
    // Code 0 means acknowledged and nothing else: no error reply reads as success.
    require(ok == (code == 0));
    try {
        const auto values = parseResponse(reply);
        require(ok && tokens.size() >= 2 && values.size() == tokens.size() - 2);
        if (!values.empty()) require(parseResponseValue(reply) == values.front());
    } catch (const LeException& failure) {
        // Only an error reply carries a code other than -1.
        require(failure.code == -1 || (!ok && code == failure.code));
    }
}

template <class Call>
void survive(Call call) {
    try {
        call();
    } catch (const LeException&) {
    }
}

void checkCommandSet(FixedReplyEngine& engine) {
    survive([&] { engine.getModel(); });
    survive([&] { engine.getSerialNumber(); });
    survive([&] { engine.setIP("10.0.0.1"); });
    survive([&] { engine.getTemperature(); });
    survive([&] { engine.getStatusCode(); });
    survive([&] { engine.getChannelName(1); });
    survive([&] { engine.getChannelIndex("CYAN"); });
    survive([&] { engine.setChannel(0, true); });
    survive([&] { engine.getChannel(0); });
    survive([&] {
        const auto states = engine.getMultipleChannels();
        require(states.size() + 2 == std::max<size_t>(tokenize(engine.reply).size(), 2));
    });
    survive([&] { engine.getMultipleIntensities(); });
    survive([&] { engine.getPowerReference(); });
    survive([&] { engine.getChannelPowerMW(0); });
    survive([&] { engine.getTTLPolarity(); });
    survive([&] { engine.setTTLPolarity(false); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FixedReplyEngine engine;
    engine.reply.assign(reinterpret_cast<const char*>(data), size);
    checkHelpers(engine.reply);
    checkCommandSet(engine);
    return 0;
}

// Starting points for the standalone driver.
extern "C" const char* const* photarcFuzzSeeds() {
    static const char* const seeds[] = {
        "A X 1",       "E X 53",        "E X",  "A",  "A X", "A CHMAP VIOLET CYAN RED\r\n", "A M 1 0 x 1",
        "E X -2147483649", "N X 53", " \t\r\n", "A MODEL Nova   Prism 5", "A P POS", "A CHINT 99999999999", "E X 0", nullptr};
    return seeds;
}
