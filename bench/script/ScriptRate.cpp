// How many orv_executeScript calls of a ten-line script a handle manages per second, and which
// share of each call goes to building the script engine with its bindings. A program, not a test.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "api/photarc.h"
#include "chai/chaiscript.hpp"
#include "engine/gen3/Gen3LightEngine.h"
#include "script/ScriptBindings.h"

namespace {

using Clock = std::chrono::steady_clock;

const char* const kScript =
    "var total = 0\n"
    "for (var i = 0; i < 20; ++i) {\n"
    "  total += i * getNumber()\n"
    "}\n"
    "var text = getString(total)\n"
    "def twice(x) { x * 2 }\n"
    "var doubled = twice(total)\n"
    "var list = [1, 2, 3]\n"
    "list.push_back(doubled)\n"
    "if (list.size() != 4) { throw(\"wrong size\") }\n";

// Microseconds per call of `body`, the median of several rounds.
template <class Body>
double microsecondsPerCall(int callsPerRound, Body body) {
    std::vector<double> rounds;
    for (int round = 0; round < 7; ++round) {
        const auto start = Clock::now();
        for (int i = 0; i < callsPerRound; ++i) body();
        rounds.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count() / callsPerRound);
    }
    std::sort(rounds.begin(), rounds.end());
    return rounds[rounds.size() / 2];
}

}  // namespace

int main() {
    const std::string path = "photarc_script_rate.chai";
    std::ofstream(path) << kScript;

    OrvHandle handle = nullptr;
    orv_createLightEngine(&handle);
    if (orv_executeScript(handle, path.c_str()) != 0) {
        char text[512];
        orv_getLastErrorText(handle, text, sizeof text);
        std::printf("script failed: %s\n", text);
        return 1;
    }

    const double perCall = microsecondsPerCall(500, [&] { orv_executeScript(handle, path.c_str()); });
    orvapi::Gen3LightEngine engine;
    const double construction = microsecondsPerCall(500, [&] {
        auto script = std::make_unique<chai::ChaiScript>();
        orvapi::addHandleBindings(*script, engine);
    });

    std::printf("orv_executeScript, ten-line script on a handle: %.1f us per call, %.0f calls/s\n", perCall,
                1e6 / perCall);
    std::printf("  engine construction with bindings: %.1f us (%.0f%% of a call)\n", construction,
                100.0 * construction / perCall);
    std::printf("  reading, parsing and evaluating the file: %.1f us\n", perCall - construction);
    orv_deleteLightEngine(handle);
    std::remove(path.c_str());
    return 0;
}
