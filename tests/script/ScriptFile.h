#pragma once
// A script file in a directory of its own under the test's temporary directory, removed
// afterwards. Tests run in parallel processes, so no two of them may share a path.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

class ScriptFile {
public:
    ScriptFile(const std::string& name, const std::string& text)
        : directory(uniqueDirectory()), filePath((directory / name).string()) {
        std::ofstream(filePath, std::ios::binary) << text;
    }
    ~ScriptFile() {
        std::error_code ignored;
        std::filesystem::remove_all(directory, ignored);
    }
    ScriptFile(const ScriptFile&) = delete;
    ScriptFile& operator=(const ScriptFile&) = delete;
    const char* path() const { return filePath.c_str(); }
    // The path as a script string literal (Windows paths have backslashes to escape).
    std::string quoted() const {
        std::string q = "\"";
        for (char c : filePath) q += c == '\\' ? std::string("\\\\") : std::string(1, c);
        return q + "\"";
    }

private:
    // The running test's name, the time and a count: unique across processes and within one.
    static std::filesystem::path uniqueDirectory() {
        static std::atomic<unsigned> made{0};
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = test != nullptr ? std::string(test->test_suite_name()) + "." + test->name() : "script";
        for (char& c : name)
            if (c == '/' || c == '\\') c = '_';
        const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
        std::filesystem::path directory = std::filesystem::path(::testing::TempDir()) /
                                          ("photarc-" + name + "-" + std::to_string(ticks) + "-" + std::to_string(made++));
        std::filesystem::create_directories(directory);
        return directory;
    }

    std::filesystem::path directory;
    std::string filePath;
};
