#include "script/ScriptHost.h"

#include <memory>

#include "chai/chaiscript.hpp"
#include "link/Failure.h"
#include "link/LeException.h"
#include "script/ScriptBindings.h"

namespace orvapi {

namespace {

// "file#line#column#" before the error's own text, when the error knows where it happened.
std::string describe(const chai::exception::eval_error& error) {
    if (error.call_stack.empty()) return error.what();
    const auto& where = error.call_stack.front();
    return where.filename() + "#" + std::to_string(where.start().line) + "#" +
           std::to_string(where.start().column) + "#" + error.what();
}

// Everything else that leaves a script: a light-engine operation's own failure keeps its code
// and text; anything without a code of its own is a "Script exception".
constexpr FailureWording kScriptWording{"Script exception: ", "Script exception: unknown exception"};

void evaluate(chai::ChaiScript& script, const std::string& path) {
    try {
        script.eval_file(path);
    } catch (const chai::exception::eval_error& error) {
        throw leFailure(describe(error));
    } catch (const chai::exception::uncaught_throw& thrown) {
        // An error from the script's own eval/eval_file call is still an evaluation error, and
        // says where it happened; any other value the script threw must not leave the export either.
        if (thrown.error()) throw leFailure(describe(*thrown.error()));
        throw leFailure("Script exception: uncaught throw of " + thrown.type_name() + ": " + thrown.what());
    } catch (...) {
        Failure failure = currentFailure(kScriptWording);
        throw LeException(std::move(failure.text), failure.code);
    }
}

}  // namespace

void runScript(LightEngine* engine, const std::string& path) {
    // Destroyed on every path, which also releases the engines a script constructed.
    const auto script = std::make_unique<chai::ChaiScript>();
    if (engine != nullptr)
        addHandleBindings(*script, *engine);
    else
        addConstructingBindings(*script);
    evaluate(*script, path);
}

}  // namespace orvapi
