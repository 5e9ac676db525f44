#pragma once
// The programs under test sit beside the test programs in the build's bin directory.
#include <string>

namespace photarc::testing {

// The full path of `fileName` in the directory of the running program.
std::string besideThisProgram(const std::string& fileName);

}  // namespace photarc::testing
