// The photarc-sim program as users run it: it announces its serial path and TCP port, serves
// both, and exits cleanly on SIGTERM.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "api/photarc.h"

extern char** environ;

namespace {

// The program as a child whose standard output we read; killed if a test leaves it running.
class SimProgram {
public:
    explicit SimProgram(std::vector<std::string> arguments) {
        int ends[2];
        if (::pipe(ends) != 0) throw std::runtime_error("pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, ends[0]);
        arguments.insert(arguments.begin(), PHOTARC_SIM_PROGRAM);
        std::vector<char*> argv;
        for (auto& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        const int failed = ::posix_spawn(&pid, PHOTARC_SIM_PROGRAM, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(ends[1]);
        output = ::fdopen(ends[0], "r");
        if (failed != 0) pid = -1;
    }
    ~SimProgram() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        if (output) ::fclose(output);
    }
    // Reading the announcement is the readiness signal: it is printed once both fronts serve.
    std::string line() {
        char text[256] = {};
        if (!output || !std::fgets(text, sizeof text, output)) return {};
        std::string result = text;
        if (!result.empty() && result.back() == '\n') result.pop_back();
        return result;
    }
    // Sends SIGTERM and returns the exit status (or -1 when it did not exit normally).
    int terminate() {
        ::kill(pid, SIGTERM);
        int status = 0;
        ::waitpid(pid, &status, 0);
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid = -1;
    FILE* output = nullptr;
};

std::string modelOver(OrvHandle handle) {
    char model[64] = {};
    return orv_getModel(handle, model, sizeof model) == PHOTARC_OK ? model : "<failed>";
}

}  // namespace

TEST(SimProgram, ServesBothFrontsAndStopsCleanly) {
    SimProgram program({"--port", "0", "--model", "Bench Unit", "--channels", "RED,WHITE"});
    const std::string serialPath = program.line();
    const std::string port = program.line();
    ASSERT_EQ(serialPath.rfind("/dev/", 0), 0u) << serialPath;
    ASSERT_FALSE(port.empty());

    OrvHandle handle = nullptr;
    orv_createLightEngine(&handle);
    ASSERT_EQ(orv_connectTCP(handle, "127.0.0.1", static_cast<uint16_t>(std::stoi(port))), PHOTARC_OK);
    EXPECT_EQ(modelOver(handle), "Bench Unit");
    ASSERT_EQ(orv_connectCOM(handle, serialPath.c_str(), 115200), PHOTARC_OK);
    int32_t channels = 0;
    EXPECT_EQ(orv_getNumberOfChannels(handle, &channels), PHOTARC_OK);
    EXPECT_EQ(channels, 2);
    orv_deleteLightEngine(handle);

    EXPECT_EQ(program.terminate(), 0);
}

TEST(SimProgram, RejectsUnknownOptionsWithUsage) {
    SimProgram program({"--no-such-option"});
    EXPECT_EQ(program.line(), "");  // usage goes to standard error, nothing is announced
    EXPECT_EQ(program.terminate(), 2);
}
