#pragma once
// A script file in the test's temporary directory, removed afterwards.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

class ScriptFile {
public:
    ScriptFile(const std::string& name, const std::string& text)
        : filePath(::testing::TempDir() + name) {
        std::ofstream(filePath, std::ios::binary) << text;
    }
    ~ScriptFile() { std::remove(filePath.c_str()); }
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
    std::string filePath;
};
