// Prints engine construction time and the time of three script workloads.
#include <chrono>
#include <cstdio>
#include <string>

#include "chai/chaiscript.hpp"

namespace {

// A prime count below 5,000 with a helper function; the loop condition sets how far each
// candidate is divided.
std::string primeCount(const std::string& divisorCondition) {
    return "def is_prime(n) {\n"
           "  if (n < 2) { return false }\n"
           "  for (var d = 2; " + divisorCondition + "; ++d) {\n"
           "    if (n % d == 0) { return false }\n"
           "  }\n"
           "  return true\n"
           "}\n"
           "var count = 0\n"
           "for (var i = 0; i < 5000; ++i) {\n"
           "  if (is_prime(i)) { ++count }\n"
           "}\n"
           "to_string(count)\n";
}

const char* const kMixed = R"(
var acc = 0.0
var k = 0
while (k < 100000) {
  acc += k * 0.5 + (k % 7) / 2
  ++k
}
to_string(acc)
)";

const char* const kVector = R"(
var v = []
for (var i = 0; i < 100000; ++i) { v.push_back(i) }
var total = 0
for (var j = 0; j < v.size(); ++j) { total += v[j] }
to_string(total)
)";

double ms_since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

void workload(const char* name, const std::string& script) {
    chai::ChaiScript engine;
    auto t0 = std::chrono::steady_clock::now();
    chai::Boxed_Value r = engine.eval(script);
    double ms = ms_since(t0);
    std::printf("%-28s %9.2f ms  (result %s)\n", name, ms, chai::boxed_cast<std::string>(r).c_str());
}

}  // namespace

int main() {
    {
        chai::ChaiScript warm;  // the shared library tables are built once per process
    }
    constexpr int kEngines = 200;
    auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < kEngines; ++i) {
        chai::ChaiScript e;
    }
    std::printf("%-28s %9.4f ms\n", "engine construction", ms_since(t0) / kEngines);
    workload("prime count below 5000", primeCount("d * d <= n"));  // up to the square root
    // Dividing by every smaller number: about 1.6 million inner iterations.
    workload("  same, naive trial division", primeCount("d < n"));
    workload("mixed int/double loop 100k", kMixed);
    workload("vector build+sum 100k", kVector);
    return 0;
}
