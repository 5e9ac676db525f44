#pragma once
// Runs a script from tests/script/scripts through orv_executeScript and records what the host
// sees: result, printed output and (with a handle) the last error.
#include <gtest/gtest.h>

#include <fstream>
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

inline std::string scriptText(const std::string& name, uint16_t port) {
    std::ifstream in(std::string(PHOTARC_SCRIPT_DIR) + name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    std::string script = text.str();
    // Scripts that connect themselves name the simulator's port; lines stay where they were.
    const std::string marker = "@PORT@";
    for (size_t at = script.find(marker); at != std::string::npos; at = script.find(marker, at))
        script.replace(at, marker.size(), std::to_string(port));
    return script;
}

inline ScriptRun execute(const std::string& name, OrvHandle handle, uint16_t port) {
    const std::string text = scriptText(name, port);
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
