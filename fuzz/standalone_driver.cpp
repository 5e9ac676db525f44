// Runs a libFuzzer-style entry point without libFuzzer: the seed inputs given by the target,
// then random mutations of them for a fixed time. Lets every compiler build smoke-test a target.
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
// Optional seeds a target may provide (weak so a target need not define them).
extern "C" const char* const* photarcFuzzSeeds() __attribute__((weak));

int main(int argc, char** argv) {
    double seconds = 5;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::atof(argv[i + 1]);

    std::vector<std::string> corpus{""};
    if (photarcFuzzSeeds)
        for (const char* const* s = photarcFuzzSeeds(); *s; ++s) corpus.emplace_back(*s);

    std::mt19937 rng(12345);
    auto run = [](const std::string& in) {
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(in.data()), in.size());
    };
    for (const auto& s : corpus) run(s);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        std::string input = corpus[rng() % corpus.size()];
        const int edits = 1 + static_cast<int>(rng() % 8);
        for (int e = 0; e < edits; ++e) {
            const size_t pos = input.empty() ? 0 : rng() % (input.size() + 1);
            switch (rng() % 4) {
                case 0: input.insert(pos, 1, static_cast<char>(rng() % 256)); break;
                case 1: if (pos < input.size()) input.erase(pos, 1); break;
                case 2: if (pos < input.size()) input[pos] = static_cast<char>(rng() % 256); break;
                default: {  // splice in a piece of another input
                    const std::string& other = corpus[rng() % corpus.size()];
                    if (!other.empty()) {
                        const size_t from = rng() % other.size();
                        input.insert(pos, other.substr(from, 1 + rng() % 16));
                    }
                }
            }
        }
        run(input);
        if (corpus.size() < 512 && rng() % 16 == 0) corpus.push_back(input);
    }
    return 0;
}
