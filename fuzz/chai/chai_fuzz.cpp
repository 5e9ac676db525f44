// Parse and evaluate arbitrary text with a step budget: any outcome but a crash is fine.
#include <cstddef>
#include <cstdint>
#include <iostream>
#include <sstream>
#include <string>

#include "chai/chaiscript.hpp"

namespace {
// Script output is not interesting here.
struct SilenceCout {
    SilenceCout() : old(std::cout.rdbuf(sink.rdbuf())) {}
    ~SilenceCout() { std::cout.rdbuf(old); }
    std::ostringstream sink;
    std::streambuf* old;
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SilenceCout quiet;
    chai::ChaiScript engine;
    engine.set_step_limit(20000);
    try {
        engine.eval(std::string(reinterpret_cast<const char*>(data), size));
    } catch (const chai::exception::uncaught_throw&) {
    } catch (const std::exception&) {
    }
    return 0;
}

extern "C" const char* const* photarcFuzzSeeds() {
    static const char* const seeds[] = {
        "var x = 1; x += 2.5; print(x)",
        "def f(n) { if (n < 2) { return n } f(n - 1) + f(n - 2) } print(f(10))",
        "class P { var x; def P(v) { this.x = v } def get() { this.x } } var p = P(3); print(p.get())",
        "var m = [\"a\": 1, \"b\": [1, 2, 3]]; for_each(m, fun(p) { print(p.first) })",
        "try { throw(runtime_error(\"x\")) } catch (e) { print(e.what()) } finally { print(1) }",
        "switch (2) { case (1) { print(1) } case (2) { print(2); break } default { print(3) } }",
        "var s = \"a${1 + 2}b\"; print(s.size()); print(s[1]); print(s.find(\"b\"))",
        "var v = [1..10]; print(map(v, fun(x) { x * x })); print(foldl(v, `+`, 0))",
        "var o = Dynamic_Object(); o.f = fun(y) { y * 2 }; print(o.f(4)); print(0x1F + 010 + 0b11 + 1u + 2l)",
        "for (var i = 0; i < 10; ++i) { if (i % 2 == 0) { continue } print(i) }",
        "var t = parse(\"var a = 2 * 3\"); print(t.to_string()); print(eval(t.children()[0])); print(a)",
        "var f = async(fun() { 7 }); f.wait(); print(f.get()); print(f.valid())",
        "var x = 1; get_var_attr(x, \"n\") = x; var y = 2; clone_var_attrs(y, x); print(lt(x, y))",
        "var s = \"abc\"; var &c = s[1]; c = 'x'; ++s[0]; for_each(s, fun(d) { d += 1 }); print(s); s.clear(); c = 'q'",
        "print(to_json(from_json(\"{\\\"a\\\": [1, -2.5e1, \\\"x\\\\n\\\", true, null], \\\"b\\\": {}}\")))",
        nullptr};
    return seeds;
}
