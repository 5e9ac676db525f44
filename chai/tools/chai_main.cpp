// Runs script files in one engine: chai file1.chai [file2.chai ...]
#include <chrono>
#include <cstdlib>
#include <iostream>

#include "chai/chaiscript.hpp"

namespace {
// Helpers that unit-test style scripts expect from this program (not from the library).
void add_program_functions(chai::ChaiScript& engine) {
    engine.add(chai::fun([](int code) {
                   std::cout.flush();
                   std::exit(code);
               }),
               "exit");
    engine.add(chai::fun([]() {
                   using namespace std::chrono;
                   return duration_cast<duration<double>>(steady_clock::now().time_since_epoch()).count();
               }),
               "now");
    // True if f threw anything at all: script throws, interpreter errors, host exceptions.
    engine.add(chai::fun([&engine](const chai::Boxed_Value& f) {
                   try {
                       engine.call(f, {});
                   } catch (...) {
                       return true;
                   }
                   return false;
               }),
               "throws_exception");
    // The interpreter error f raised, as the value a script's own eval() failure gives; other
    // exceptions pass through.
    engine.add(chai::fun([&engine](const chai::Boxed_Value& f) {
                   try {
                       engine.call(f, {});
                   } catch (const chai::exception::eval_error& e) {
                       return chai::var(e);
                   }
                   throw std::runtime_error("no eval error");
               }),
               "get_eval_error");
}
}  // namespace

int main(int argc, char** argv) {
    chai::ChaiScript engine;
    add_program_functions(engine);
    for (int i = 1; i < argc; ++i) {
        try {
            engine.eval_file(argv[i]);
        } catch (const chai::exception::eval_error& e) {
            std::cout.flush();
            std::cerr << e.pretty_print() << std::flush;
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
