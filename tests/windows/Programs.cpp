#include "tests/windows/Programs.h"

#include <windows.h>

namespace photarc::testing {

std::string besideThisProgram(const std::string& fileName) {
    char self[MAX_PATH];
    const DWORD length = ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    const std::string path(self, length);
    return path.substr(0, path.find_last_of("\\/") + 1) + fileName;
}

}  // namespace photarc::testing
