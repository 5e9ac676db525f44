// Prints engine construction time and the time of three script workloads.
#include <chrono>
#include <cstdio>
#include <string>

#include "chai/chaiscript.hpp"

namespace {

// Trial division up to the square root, with a helper function.
const char* const kPrimes = R"(
def is_prime(n) {
  if (n < 2) { return false }
  for (var d = 2; d * d <= n; ++d) {
    if (n % d == 0) { return false }
  }
  return true
}
var count = 0
for (var i = 0; i < 5000; ++i) {
  if (is_prime(i)) { ++count }
}
to_string(count)
)";

// The same count dividing by every smaller number: about 1.6 million inner iterations.
const char* const kPrimesNaive = R"(
def is_prime(n) {
  if (n < 2) { return false }
  for (var d = 2; d < n; ++d) {
    if (n % d == 0) { return false }
  }
  return true
}
var count = 0
for (var i = 0; i < 5000; ++i) {
  if (is_prime(i)) { ++count }
}
to_string(count)
)";

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

void workload(const char* name, const char* script) {
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
    workload("prime count below 5000", kPrimes);
    workload("  same, naive trial division", kPrimesNaive);
    workload("mixed int/double loop 100k", kMixed);
    workload("vector build+sum 100k", kVector);
    return 0;
}
