#include "link/StandardOutput.h"

#include <iostream>

#include "link/platform/BrokenPipe.h"

namespace orvapi {

void printLine(const std::string& line) noexcept {
    try {
        const platform::BrokenPipeShield shield;
        const std::ios_base::iostate before = std::cout.rdstate();
        std::cout << line << std::endl;
        std::cout.clear(before);
    } catch (...) {
    }
}

}  // namespace orvapi
