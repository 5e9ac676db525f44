#pragma once
// Runs a script from tests/script/scripts through orv_executeScript and records what the host
// sees: result, printed output and (with a handle) the last error.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "api/photarc.h"
#include "tests/script/ScriptFile.h"

struct ScriptRun {
    std::string path;  // where the script ran from; evaluation errors name it
    int32_t result = 0;
    std::string output;
    int32_t code = 0;  // the handle's last error afterwards (handle runs only)
    std::string text;
};

// Scripts that connect themselves name their device with markers (@PORT@ for the simulator's
// TCP port, @SERIAL@ for a serial path); replacing them keeps every line where it was.
using Markers = std::map<std::string, std::string>;

inline std::string scriptText(const std::string& name, const Markers& markers = {}) {
    std::ifstream in(std::string(PHOTARC_SCRIPT_DIR) + name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    std::string script = text.str();
    for (const auto& [marker, value] : markers)
        for (size_t at = script.find(marker); at != std::string::npos; at = script.find(marker, at + value.size()))
            script.replace(at, marker.size(), value);
    return script;
}

inline ScriptRun execute(const std::string& name, OrvHandle handle, const Markers& markers = {}) {
    const std::string text = scriptText(name, markers);
    EXPECT_FALSE(text.empty()) << name;
    ScriptFile file(name, text);
    ScriptRun run;
    run.path = file.path();
    ::testing::internal::CaptureStdout();
    run.result = orv_executeScript(handle, file.path());
    run.output = ::testing::internal::GetCapturedStdout();
    if (handle != nullptr) {
        char buffer[1024] = "";
        EXPECT_EQ(orv_getLastErrorCode(handle, &run.code), 0);
        EXPECT_EQ(orv_getLastErrorText(handle, buffer, sizeof buffer), 0);
        run.text = buffer;
    }
    return run;
}
