// orv_executeScript: the two binding sets and how every kind of failure is reported.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "api/photarc.h"
#include "link/LeException.h"
#include "tests/script/ScriptFile.h"
#include "tests/support/MockLightEngine.h"

using orvapi::testing::MockLightEngine;
using ::testing::HasSubstr;
using ::testing::Return;
using ::testing::StartsWith;

namespace {

class HandleMode : public ::testing::Test {
protected:
    ::testing::NiceMock<MockLightEngine> engine;

    int32_t run(const std::string& text) {
        ScriptFile file("handle_mode.chai", text);
        return orv_executeScript(&engine, file.path());
    }
};

std::string capturedRun(const std::string& name, const std::string& text, int32_t& result) {
    ScriptFile file(name, text);
    ::testing::internal::CaptureStdout();
    result = orv_executeScript(nullptr, file.path());
    return ::testing::internal::GetCapturedStdout();
}

}  // namespace

TEST_F(HandleMode, EmptyScriptSucceedsAndClearsTheLastError) {
    engine.setLastError(63, "old");
    EXPECT_EQ(run(""), 0);
    EXPECT_EQ(engine.getLastErrorCode(), 0);
    EXPECT_EQ(engine.getLastErrorText(), "");
}

TEST_F(HandleMode, MissingFileIsAScriptException) {
    EXPECT_EQ(orv_executeScript(&engine, "/nonexistent/dir/run.chai"), 11001);
    EXPECT_EQ(engine.getLastErrorCode(), -1);
    EXPECT_THAT(engine.getLastErrorText(), StartsWith("Script exception: "));
}

TEST_F(HandleMode, ADirectoryIsNoScript) {
    EXPECT_EQ(orv_executeScript(&engine, ::testing::TempDir().c_str()), 11001);
    EXPECT_EQ(engine.getLastErrorCode(), -1);
    EXPECT_THAT(engine.getLastErrorText(), StartsWith("Script exception: File Not Found: "));
}

TEST_F(HandleMode, ByteOrderMarkBeforeTheFirstLineIsSkipped) {
    EXPECT_CALL(engine, setIntensity(0, 5));
    EXPECT_EQ(run("\xEF\xBB\xBFsetIntensity(0, 5)\n"), 0) << engine.getLastErrorText();
    // Only at the very start: elsewhere those bytes are no code.
    EXPECT_EQ(run("setIntensity(0, 5)\n\xEF\xBB\xBFsetIntensity(0, 6)\n"), 11001);
}

TEST_F(HandleMode, ErrorsInFilesTheScriptEvaluatesNameThatFile) {
    ScriptFile library("helpers.chai", "def level(c) {\n  return c * factor\n}\n");
    ScriptFile main("main.chai", "eval_file(" + library.quoted() + ")\nsetIntensity(0, level(2))\n");
    EXPECT_EQ(orv_executeScript(&engine, main.path()), 11001);
    EXPECT_EQ(engine.getLastErrorCode(), -1);
    EXPECT_EQ(engine.getLastErrorText(),
              std::string(library.path()) + "#2#14#Error: \"Can not find object: factor\" ");

    ScriptFile broken("broken.chai", "def level(c) {\n");
    ScriptFile user("user.chai", "use(" + broken.quoted() + ")\n");
    EXPECT_EQ(orv_executeScript(&engine, user.path()), 11001);
    EXPECT_EQ(engine.getLastErrorText(),
              "Error: \"Incomplete block\" in '" + std::string(broken.path()) + "'  at (2, 1)");
}

TEST_F(HandleMode, OperationsAreGlobalFunctionsBoundToTheHandle) {
    EXPECT_CALL(engine, setIntensity(0, 42));
    EXPECT_CALL(engine, executeCommand("-5")).WillOnce(Return("A X"));
    EXPECT_CALL(engine, getMultipleIntensities()).WillOnce(Return(std::vector<int>{1, 2}));
    EXPECT_CALL(engine, setMultipleIntensities(std::vector<int>{1, 2}));
    EXPECT_CALL(engine, connectCOM("COM4", 9600u));
    EXPECT_CALL(engine, connectTCP("127.0.0.1", 8095));
    EXPECT_EQ(run("setIntensity(0, getNumber())\n"
                  "executeCommand(getString(-5))\n"
                  "setMultipleIntensities(getMultipleIntensities())\n"
                  "connectCOM(\"COM4\", 9600)\n"
                  "connectTCP(\"127.0.0.1\", 8095)\n"),
              0)
        << engine.getLastErrorText();
    // A number the parameter cannot hold fails the call instead of wrapping (to 500, to port 4464).
    EXPECT_EQ(run("setIntensity(1, 4294967796)\n"), 11001);
    EXPECT_THAT(engine.getLastErrorText(), HasSubstr("Error calling function 'setIntensity': 4294967796 is out of range"));
    EXPECT_EQ(run("connectTCP(\"127.0.0.1\", 70000)\n"), 11001);
    EXPECT_THAT(engine.getLastErrorText(), HasSubstr("Error calling function 'connectTCP': 70000 is out of range"));
}

TEST_F(HandleMode, EveryRunStartsFromItsHandlesBindings) {
    // A script's overloads of an operation end with its run; another handle's calls reach that handle.
    EXPECT_CALL(engine, setIntensity(0, 7));
    EXPECT_EQ(run("def setIntensity(string c, int v) { setIntensity(0, v) }\nsetIntensity(\"a\", 7)\n"), 0)
        << engine.getLastErrorText();
    EXPECT_EQ(run("setIntensity(\"a\", 7)\n"), 11001);
    ::testing::NiceMock<MockLightEngine> other;
    EXPECT_CALL(other, setIntensity(1, 2));
    ScriptFile file("other_handle.chai", "setIntensity(1, 2)\n");
    EXPECT_EQ(orv_executeScript(&other, file.path()), 0) << other.getLastErrorText();
}

TEST_F(HandleMode, StateGetterKeepsItsHistoricalSpelling) {
    EXPECT_CALL(engine, getMultipleChannels()).WillOnce(Return(std::vector<bool>{true}));
    EXPECT_CALL(engine, setMultipleChannels(std::vector<bool>{true}));
    EXPECT_EQ(run("setMultipleChannels(getMutipleChannels())"), 0) << engine.getLastErrorText();
    EXPECT_EQ(run("getMultipleChannels()"), 11001);
    EXPECT_EQ(engine.getLastErrorCode(), -1);
    EXPECT_THAT(engine.getLastErrorText(), HasSubstr("getMultipleChannels"));
}

TEST_F(HandleMode, EngineFailuresKeepTheirCodeAndEarlierEffectsStay) {
    EXPECT_CALL(engine, setIntensity(1, 300));
    EXPECT_CALL(engine, getTemperature()).WillOnce(::testing::Throw(orvapi::LeException("Light engine is busy", 58)));
    EXPECT_EQ(run("setIntensity(1, 300)\ngetTemperature()\nsetIntensity(1, 0)\n"), 11001);
    EXPECT_EQ(engine.getLastErrorCode(), 58);
    EXPECT_EQ(engine.getLastErrorText(), "Light engine is busy");
}

TEST_F(HandleMode, TestExceptionReachesTheHost) {
    EXPECT_CALL(engine, throwLeException()).WillOnce(::testing::Throw(orvapi::LeException(
                                                "Test exception thrown by light engine.", "", "")));
    EXPECT_EQ(run("throwLeException()"), 11001);
    EXPECT_EQ(engine.getLastErrorCode(), -1);
    EXPECT_EQ(engine.getLastErrorText(), "Test exception thrown by light engine.");
}

TEST_F(HandleMode, StandardExceptionsFromOperationsAreScriptExceptions) {
    EXPECT_CALL(engine, getModel()).WillOnce(::testing::Throw(std::runtime_error("Failed to read data")));
    EXPECT_EQ(run("getModel()"), 11001);
    EXPECT_EQ(engine.getLastErrorCode(), -1);
    EXPECT_EQ(engine.getLastErrorText(), "Script exception: Failed to read data");
}

TEST_F(HandleMode, RuntimeErrorsArePrefixedWithTheirLocation) {
    ScriptFile file("located.chai", "var a = 1\nvar b = 2\nprint(a + zz)\n");
    EXPECT_EQ(orv_executeScript(&engine, file.path()), 11001);
    EXPECT_EQ(engine.getLastErrorCode(), -1);
    EXPECT_THAT(engine.getLastErrorText(), StartsWith(std::string(file.path()) + "#3#"));
    EXPECT_THAT(engine.getLastErrorText(), HasSubstr("Can not find object: zz"));
}

TEST_F(HandleMode, SyntaxErrorsNameFileLineAndColumn) {
    ScriptFile file("syntax.chai", "var x = 1\nprint(1) print(2)\n");
    EXPECT_EQ(orv_executeScript(&engine, file.path()), 11001);
    EXPECT_EQ(engine.getLastErrorCode(), -1);
    const std::string text = engine.getLastErrorText();
    EXPECT_THAT(text, StartsWith("Error: \"Two expressions missing line separator\""));
    EXPECT_THAT(text, HasSubstr(std::string("'") + file.path() + "'"));
    EXPECT_THAT(text, HasSubstr("at (2, 10)"));
}

TEST_F(HandleMode, ValuesThrownByTheScriptAreReported) {
    EXPECT_EQ(run("throw(\"gave up\")"), 11001);
    EXPECT_EQ(engine.getLastErrorCode(), -1);
    EXPECT_THAT(engine.getLastErrorText(), HasSubstr("gave up"));
    EXPECT_EQ(run("throw(runtime_error(\"boom\"))"), 11001);
    EXPECT_THAT(engine.getLastErrorText(), HasSubstr("boom"));
}

TEST_F(HandleMode, RunawayScriptsFailInsteadOfCrashing) {
    EXPECT_EQ(run("def f(n) { f(n + 1) }\nf(0)\n"), 11001);
    EXPECT_EQ(engine.getLastErrorCode(), -1);
    EXPECT_FALSE(engine.getLastErrorText().empty());
    EXPECT_EQ(run(std::string(100000, '(') + "1" + std::string(100000, ')')), 11001);
    EXPECT_EQ(engine.getLastErrorCode(), -1);
}

TEST_F(HandleMode, NullPathIsAnInvalidArgument) {
    EXPECT_EQ(orv_executeScript(&engine, nullptr), 11001);
    EXPECT_EQ(engine.getLastErrorCode(), 22);
}

TEST(ConstructingMode, FailuresArePrintedOnStandardOutput) {
    int32_t result = 0;
    const std::string output = capturedRun("print_failure.chai", "throwLeException()", result);
    EXPECT_EQ(result, 11001);
    EXPECT_THAT(output, HasSubstr("throwLeException"));
    EXPECT_EQ(output.back(), '\n');
}

TEST(ConstructingMode, ScriptConstructsItsOwnEngine) {
    int32_t result = 0;
    const std::string output = capturedRun(
        "construct.chai",
        "var e = Gen3LightEngine()\n"
        "print(e.getNumber())\n"
        "print(e.getString(-5))\n"
        "e.disconnect()\n"
        "try { e.getModel() } catch (e) { print(\"not reached\") }\n",
        result);
    EXPECT_EQ(result, 11001);
    EXPECT_EQ(output, "42\n-5\nNot connected\n");
}

TEST(ConstructingMode, StateGetterHasItsProperNameHere) {
    int32_t result = 0;
    EXPECT_EQ(capturedRun("plain_name.chai", "Gen3LightEngine().getMultipleChannels()", result), "Not connected\n");
    EXPECT_EQ(result, 11001);
    const std::string output = capturedRun("old_name.chai", "Gen3LightEngine().getMutipleChannels()", result);
    EXPECT_EQ(result, 11001);
    EXPECT_THAT(output, HasSubstr("getMutipleChannels"));
    EXPECT_THAT(output, ::testing::Not(HasSubstr("Not connected")));
}

TEST(ConstructingMode, TestExceptionFromAConstructedEngine) {
    int32_t result = 0;
    EXPECT_EQ(capturedRun("test_exception.chai", "Gen3LightEngine().throwLeException()", result),
              "Test exception thrown by light engine.\n");
    EXPECT_EQ(result, 11001);
}

TEST(ConstructingMode, NullPathIsPrinted) {
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(orv_executeScript(nullptr, nullptr), 11001);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Invalid argument: null pointer\n");
}

TEST(LegacyHandle, UnsupportedOperationFailsWithTheDriversText) {
    OrvHandle handle = nullptr;
    ASSERT_EQ(orv_createLegacyLightEngine(&handle, 1), 0);
    ScriptFile file("legacy.chai", "print(getModel())\ngetSerialNumber()\n");
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(orv_executeScript(handle, file.path()), 11001);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "ZEFA2\n");
    int32_t code = 0;
    char text[128];
    EXPECT_EQ(orv_getLastErrorCode(handle, &code), 0);
    EXPECT_EQ(orv_getLastErrorText(handle, text, sizeof text), 0);
    EXPECT_EQ(code, -1);
    EXPECT_STREQ(text, "Function not supported by Legacy protocol.");
    orv_deleteLightEngine(handle);
}
