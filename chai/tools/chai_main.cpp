// Runs script files in one engine: chai file1.chai [file2.chai ...]
#include <iostream>

#include "chai/chaiscript.hpp"

namespace {
std::string located(const chai::exception::eval_error& e) {
    if (e.call_stack.empty()) return e.what();
    const auto& top = e.call_stack.front();
    return std::string(e.what()) + "during evaluation at (" + top.filename() + " " + std::to_string(top.start().line) +
           ", " + std::to_string(top.start().column) + ")";
}
}  // namespace

int main(int argc, char** argv) {
    chai::ChaiScript engine;
    for (int i = 1; i < argc; ++i) {
        try {
            engine.eval_file(argv[i]);
        } catch (const chai::exception::eval_error& e) {
            std::cout.flush();
            std::cerr << located(e) << std::endl;
            return 1;
        } catch (const chai::exception::uncaught_throw& e) {
            std::cout.flush();
            std::cerr << "Uncaught exception: " << e.what() << std::endl;
            return 1;
        } catch (const std::exception& e) {
            std::cout.flush();
            std::cerr << e.what() << std::endl;
            return 1;
        }
    }
    return 0;
}
