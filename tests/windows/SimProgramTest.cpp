// photarc-sim.exe as users run it on Windows: it announces an empty serial path (there are no
// pseudo-terminals) and its TCP port, serves the exports over Winsock, and rejects unknown
// options with its usage. (Its stop on Ctrl-C is left out: under a headless wine,
// GenerateConsoleCtrlEvent fails.)
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "api/photarc.h"
#include "tests/windows/Programs.h"

namespace {

// The program as a child, its standard output on a pipe that we read; killed at the end.
class SimProgram {
public:
    explicit SimProgram(const std::string& arguments) {
        SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
        HANDLE writeEnd = nullptr;
        if (!::CreatePipe(&output, &writeEnd, &inheritable, 0)) return;
        ::SetHandleInformation(output, HANDLE_FLAG_INHERIT, 0);
        // Usage and failures go nowhere: only the announcement is read.
        HANDLE nowhere = ::CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       &inheritable, OPEN_EXISTING, 0, nullptr);
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = nowhere;
        startup.hStdOutput = writeEnd;
        startup.hStdError = nowhere;
        std::string commandLine = "\"" + photarc::testing::besideThisProgram("photarc-sim.exe") + "\" " + arguments;
        if (!::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &child))
            child = PROCESS_INFORMATION{};
        ::CloseHandle(writeEnd);
        ::CloseHandle(nowhere);
    }
    ~SimProgram() {
        if (child.hProcess != nullptr) {
            ::TerminateProcess(child.hProcess, 99);
            ::WaitForSingleObject(child.hProcess, INFINITE);
            ::CloseHandle(child.hProcess);
            ::CloseHandle(child.hThread);
        }
        if (output != nullptr) ::CloseHandle(output);
    }
    SimProgram(const SimProgram&) = delete;
    SimProgram& operator=(const SimProgram&) = delete;

    // One announced line without its line end (empty also at the end of the output). Reading
    // the announcement is the readiness signal: it is printed once the program serves.
    std::string line() {
        std::string text;
        for (char byte; nextByte(byte) && byte != '\n';) text += byte;
        if (!text.empty() && text.back() == '\r') text.pop_back();
        return text;
    }
    // Everything the program writes until it ends.
    std::string wholeOutput() {
        std::string text;
        for (char byte; nextByte(byte);) text += byte;
        return text;
    }
    // The exit code once the program has ended (it is given 10 seconds), or -1.
    long exitCode() {
        DWORD code = 0;
        if (child.hProcess == nullptr || ::WaitForSingleObject(child.hProcess, 10000) != WAIT_OBJECT_0 ||
            !::GetExitCodeProcess(child.hProcess, &code))
            return -1;
        return static_cast<long>(code);
    }

private:
    bool nextByte(char& byte) {
        DWORD read = 0;
        return output != nullptr && ::ReadFile(output, &byte, 1, &read, nullptr) && read == 1;
    }

    HANDLE output = nullptr;
    PROCESS_INFORMATION child{};
};

}  // namespace

TEST(SimProgram, AnnouncesNoSerialPathAndServesTcp) {
    SimProgram program("--port 0 --model \"Bench Unit\" --channels RED,WHITE");
    EXPECT_EQ(program.line(), "");  // no serial side on Windows
    const std::string port = program.line();
    ASSERT_FALSE(port.empty());

    OrvHandle handle = nullptr;
    ASSERT_EQ(orv_createLightEngine(&handle), PHOTARC_OK);
    ASSERT_EQ(orv_connectTCP(handle, "127.0.0.1", static_cast<uint16_t>(std::stoi(port))), PHOTARC_OK);
    char model[64] = {};
    EXPECT_EQ(orv_getModel(handle, model, sizeof model), PHOTARC_OK);
    EXPECT_STREQ(model, "Bench Unit");
    int32_t channels = 0;
    EXPECT_EQ(orv_getNumberOfChannels(handle, &channels), PHOTARC_OK);
    EXPECT_EQ(channels, 2);
    orv_deleteLightEngine(handle);
}

TEST(SimProgram, RejectsUnknownOptionsWithUsage) {
    SimProgram program("--no-such-option");
    EXPECT_EQ(program.wholeOutput(), "");  // the usage goes to standard error, nothing is announced
    EXPECT_EQ(program.exitCode(), 2);
}
