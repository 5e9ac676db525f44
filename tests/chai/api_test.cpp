// Embedding API: bindings, conversions, errors crossing between C++ and scripts.
#include <gtest/gtest.h>

#include <algorithm>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <iostream>
#include <limits>
#include <locale>
#include <sstream>
#include <thread>
#include <utility>

#include <pthread.h>
#include <typeinfo>
#include <vector>

#include "chai/chaiscript.hpp"

namespace {

// The reason of the evaluation error that code raises, or "no error".
std::string error_reason(chai::ChaiScript& e, const std::string& code) {
    try {
        e.eval(code);
    } catch (const chai::exception::eval_error& err) {
        return err.reason;
    }
    return "no error";
}

class Device {
public:
    virtual ~Device() = default;
    virtual std::string model() const = 0;
    void setLevel(uint32_t channel, uint16_t level) {
        last_channel = channel;
        last_level = level;
    }
    int level() const noexcept { return static_cast<int>(last_level); }
    std::vector<bool> states() const { return {true, false, true}; }
    std::vector<int> levels() const { return {1, 2, 3}; }
    int countTrue(const std::vector<bool>& v) const {
        int n = 0;
        for (bool b : v) n += b ? 1 : 0;
        return n;
    }
    int sum(const std::vector<int>& v) const {
        int n = 0;
        for (int x : v) n += x;
        return n;
    }
    void fail(int kind) {
        if (kind == 0) throw std::out_of_range("channel out of range");
        throw 42;
    }
    uint32_t last_channel = 0;
    uint16_t last_level = 0;
};

class Lamp : public Device {
public:
    std::string model() const override { return "lamp"; }
};

struct DeviceError : std::runtime_error {
    explicit DeviceError(int c) : std::runtime_error("device error"), code(c) {}
    int code;
};

void register_device(chai::ChaiScript& e) {
    e.add(chai::user_type<Lamp>(), "Lamp");
    e.add(chai::constructor<Lamp()>(), "Lamp");
    e.add(chai::base_class<Device, Lamp>());
    e.add(chai::fun(&Device::model), "model");
    e.add(chai::fun(&Device::setLevel), "setLevel");
    e.add(chai::fun(&Device::level), "level");
    e.add(chai::fun(&Device::states), "states");
    e.add(chai::fun(&Device::countTrue), "countTrue");
    e.add(chai::fun(&Device::levels), "levels");
    e.add(chai::fun(&Device::sum), "sum");
    e.add(chai::fun(&Device::fail), "fail");
}

std::string eval_string(chai::ChaiScript& e, const std::string& code) { return e.eval<std::string>(code); }

}  // namespace

TEST(chai_api, FreeFunctionsAndLambdasConvertArguments) {
    chai::ChaiScript e;
    uint32_t got32 = 0;
    uint16_t got16 = 0;
    e.add(chai::fun([&](uint32_t a, uint16_t b) {
              got32 = a;
              got16 = b;
          }),
          "take_levels");
    e.add(chai::fun([](const std::string& s, bool flag) { return flag ? s + "!" : s; }), "shout");
    e.eval("take_levels(70000, 7)");
    EXPECT_EQ(70000u, got32);
    EXPECT_EQ(7u, got16);
    EXPECT_EQ("hi!", eval_string(e, "shout(\"hi\", true)"));
    EXPECT_TRUE(e.eval<bool>("is_var_undef(take_levels(1, 2))"));
    // Strings and bools are never converted.
    EXPECT_THROW(e.eval("shout(1, true)"), chai::exception::eval_error);
    EXPECT_THROW(e.eval("shout(\"a\", 1)"), chai::exception::eval_error);
    // A number outside an integer parameter's range fails the call (it would wrap), naming it.
    const auto reason = [&e](const std::string& code) { return error_reason(e, code); };
    EXPECT_EQ("Error calling function 'take_levels': 4294967796 is out of range for parameter 1 (uint32_t)",
              reason("take_levels(4294967796, 1)"));
    EXPECT_EQ("Error calling function 'take_levels': -1 is out of range for parameter 2 (uint16_t)",
              reason("take_levels(1, -1)"));
    EXPECT_EQ("Error calling function 'take_levels': 70000 is out of range for parameter 2 (uint16_t)",
              reason("var far = 70000; take_levels(1, far)"));
    e.eval("take_levels(2.9, 65535.5)");  // fractions are cut, the rest fits
    EXPECT_EQ(2u, got32);
    EXPECT_EQ(65535u, got16);
}

// Numbers, bools and strings a host function takes by non-const reference are the script's own
// variables, wherever they live; literals are not taken.
TEST(chai_api, HostReferenceParametersChangeScriptVariables) {
    chai::ChaiScript e;
    e.add(chai::fun([](int& x) { x += 5; }), "bump");
    e.add(chai::fun([](double& d) { d *= 2; }), "twice");
    e.add(chai::fun([](bool& b) { b = !b; }), "flip");
    e.add(chai::fun([](std::string& s) { s += "!"; }), "shout");
    EXPECT_EQ(6, e.eval<int>("var top_level = 1; bump(top_level); top_level"));
    EXPECT_EQ(6, e.eval<int>("def local_one() { var n = 1; bump(n); n } local_one()"));
    EXPECT_EQ(7, e.eval<int>("def param_one(p) { bump(p); p } var outer = 2; param_one(outer); outer"));
    EXPECT_EQ(3.0, e.eval<double>("var v = [1.5]; twice(v[0]); v[0]"));
    EXPECT_EQ(8.0, e.eval<double>("var o = Dynamic_Object(); o.d = 4.0; twice(o.d); o.d"));
    EXPECT_TRUE(e.eval<bool>("var b = false; flip(b); b"));
    EXPECT_EQ("hi!", e.eval<std::string>("var s = \"hi\"; shout(s); s"));
    EXPECT_EQ("char", e.eval<std::string>("var c = 'a'; bump(c); type_name(c)"));  // the type stays
    EXPECT_EQ('f', e.eval<char>("c"));
    EXPECT_THROW(e.eval("bump(1)"), chai::exception::eval_error);
}

// A host function describes its result type first, as scripts see it in get_param_types().
TEST(chai_api, HostFunctionsDescribeTheirResultType) {
    chai::ChaiScript e;
    e.add(chai::fun([](int x) { return x > 0; }), "positive");
    e.add(chai::fun([](const std::string& s) { return s.size(); }), "length_of");
    e.add(chai::fun([](int) {}), "ignore");
    EXPECT_TRUE(e.eval<bool>("positive.get_param_types()[0].bare_equal(bool_type)"));
    EXPECT_TRUE(e.eval<bool>("positive.get_param_types()[1].bare_equal(int_type)"));
    EXPECT_TRUE(e.eval<bool>("length_of.get_param_types()[0].bare_equal(size_t_type)"));
    EXPECT_TRUE(e.eval<bool>("ignore.get_param_types()[0].is_type_void()"));
    // Bound functions keep the result type; script functions return any value.
    EXPECT_TRUE(e.eval<bool>("bind(positive, _).get_param_types()[0].bare_equal(bool_type)"));
    EXPECT_TRUE(e.eval<bool>("def twice(x) { x * 2 }; twice.get_param_types()[0].bare_equal(Object_type)"));
}

TEST(chai_api, ReAddingANameAddsAnOverload) {
    chai::ChaiScript e;
    e.add(chai::fun([](int x) { return x + 1; }), "f");
    e.add(chai::fun([](const std::string& s) { return s + "1"; }), "f");
    EXPECT_EQ(3, e.eval<int>("f(2)"));
    EXPECT_EQ("a1", eval_string(e, "f(\"a\")"));
}

TEST(chai_api, PreparedBindingsActAsAddedOneByOne) {
    const chai::Bindings prepared({{chai::fun([](int x) { return x + 1; }), "f"},
                                   {chai::fun([](const std::string& s) { return s + "1"; }), "f"},
                                   {chai::fun([](int x) { return x * 10; }), "size"},
                                   {chai::fun([](int, int) { return std::string("two"); }), "to_string"}});
    // A new engine shares them; one that ran something or was given a function adds them anew.
    chai::ChaiScript shared, ran, given;
    ran.eval("var before = 1");
    given.add(chai::fun([](bool) { return 0; }), "f");
    for (chai::ChaiScript* e : {&shared, &ran, &given}) {
        e->add(prepared);
        EXPECT_EQ(3, e->eval<int>("f(2)"));
        EXPECT_EQ("a1", eval_string(*e, "f(\"a\")"));
        EXPECT_EQ(50, e->eval<int>("size(5)"));  // with the library's own overloads of the name
        EXPECT_EQ(2, e->eval<int>("[1, 2].size()"));
        EXPECT_EQ("two", eval_string(*e, "to_string(1, 2)"));  // a name every engine uses itself
    }
    EXPECT_EQ(0, given.eval<int>("f(true)"));
    // What a script adds stays in its engine, also for names of the library.
    shared.eval("def f(x, y) { x + y }; def size(string s, int n) { n }");
    EXPECT_EQ(5, shared.eval<int>("f(2, 3) + size(\"ab\", 0)"));
    chai::ChaiScript later;
    later.add(prepared);
    EXPECT_THROW(later.eval("f(2, 3)"), chai::exception::eval_error);
    EXPECT_THROW(later.eval("size(\"ab\", 0)"), chai::exception::eval_error);
    EXPECT_EQ(3, later.eval<int>("f(2)"));
}

TEST(chai_api, MembersUnboundAndBound) {
    chai::ChaiScript e;
    Lamp lamp;
    e.add(chai::fun(&Device::setLevel, &lamp), "setLevel");
    e.add(chai::fun(&Device::level, &lamp), "level");
    e.eval("setLevel(2, 300)");
    EXPECT_EQ(2u, lamp.last_channel);
    EXPECT_EQ(300, e.eval<int>("level()"));

    auto shared = std::make_shared<Lamp>();
    chai::ChaiScript e1;
    e1.add(chai::fun(&Device::setLevel, shared), "setLevel");
    e1.eval("setLevel(1, 9)");
    EXPECT_EQ(9, shared->level());

    chai::ChaiScript e2;
    register_device(e2);
    EXPECT_EQ(55, e2.eval<int>("var l = Lamp(); l.setLevel(1, 55); l.level()"));
    EXPECT_EQ(55, e2.eval<int>("level(l)"));
    EXPECT_EQ("lamp", eval_string(e2, "l.model()"));
    EXPECT_EQ("Lamp", eval_string(e2, "type_name(l)"));
}

TEST(chai_api, OpaqueVectorsAndVectorConversion) {
    chai::ChaiScript e;
    register_device(e);
    EXPECT_EQ(2, e.eval<int>("var l = Lamp(); l.countTrue(l.states())"));
    EXPECT_EQ(6, e.eval<int>("l.sum(l.levels())"));
    // Without the conversion a script Vector is not a std::vector<int>.
    EXPECT_THROW(e.eval("l.sum([1, 2])"), chai::exception::eval_error);
    e.add(chai::vector_conversion<std::vector<int>>());
    EXPECT_EQ(3, e.eval<int>("l.sum([1, 2])"));
    try {
        e.eval("l.sum([1, 2.5])");
        FAIL() << "mixed vector accepted";
    } catch (const chai::exception::eval_error& err) {
        EXPECT_EQ("Error calling function 'sum'", err.reason);
    }
}

TEST(chai_api, HostExceptionsLeaveAsThemselves) {
    chai::ChaiScript e;
    register_device(e);
    e.add(chai::fun([](int c) -> int { throw DeviceError(c); }), "device_fail");
    e.eval("var l = Lamp()");
    EXPECT_THROW(e.eval("l.fail(0)"), std::out_of_range);
    try {
        e.eval("device_fail(7)");
        FAIL() << "no exception";
    } catch (const DeviceError& err) {
        EXPECT_EQ(7, err.code);
    }
    // Scripts can catch std exceptions from the host.
    EXPECT_EQ("out_of_range:channel out of range",
              eval_string(e, "var r = \"\"; try { l.fail(0) } catch (e) { r = type_name(e) + \":\" + e.what() }; r"));
    EXPECT_EQ("device error", eval_string(e, "var r2 = \"\"; try { device_fail(1) } catch (runtime_error x) { r2 = x.what() }; r2"));
    // Non-std exceptions are not catchable but finally blocks run.
    try {
        e.eval("global fin = false; try { l.fail(1) } catch (e) { fin = 5 } finally { fin = true }");
        FAIL() << "no exception";
    } catch (int v) {
        EXPECT_EQ(42, v);
    }
    EXPECT_TRUE(e.eval<bool>("fin"));
}

TEST(chai_api, ScriptThrowLeavesAsUncaughtThrow) {
    chai::ChaiScript e;
    try {
        e.eval("throw(runtime_error(\"boom\"))");
        FAIL();
    } catch (const chai::exception::uncaught_throw& t) {
        EXPECT_EQ("boom", t.what());
        EXPECT_EQ("runtime_error", t.type_name());
    }
    try {
        e.eval("throw([1, 2])");
        FAIL();
    } catch (const chai::exception::uncaught_throw& t) {
        EXPECT_EQ("Vector: [1, 2]", t.what());
    }
}

TEST(chai_api, EvalErrorCarriesLocation) {
    chai::ChaiScript e;
    try {
        e.eval("var x = 1\nprint(1) print(2)", "t.chai");
        FAIL();
    } catch (const chai::exception::eval_error& err) {
        EXPECT_STREQ("Error: \"Two expressions missing line separator\" in 't.chai'  at (2, 10)", err.what());
        EXPECT_EQ("t.chai", err.filename);
        EXPECT_EQ(2, err.start_position.line);
        EXPECT_EQ(10, err.start_position.column);
        EXPECT_TRUE(err.call_stack.empty());
    }
    try {
        e.eval("def f() {\n  zz + 1\n}\nf()", "r.chai");
        FAIL();
    } catch (const chai::exception::eval_error& err) {
        EXPECT_STREQ("Error: \"Can not find object: zz\" ", err.what());
        EXPECT_EQ("Can not find object: zz", err.reason);
        // A runtime error's place is in its call stack only.
        EXPECT_EQ("", err.filename);
        EXPECT_EQ(0, err.start_position.line);
        EXPECT_EQ(0, err.start_position.column);
        ASSERT_GE(err.call_stack.size(), 2u);
        EXPECT_EQ("r.chai", err.call_stack[0].filename());
        EXPECT_EQ(2, err.call_stack[0]->start().line);
        EXPECT_EQ(3, err.call_stack[0].start().column);
        EXPECT_EQ(4, err.call_stack[err.call_stack.size() - 2].start().line);  // the call f()
        EXPECT_EQ("File", err.call_stack.back().kind());
        EXPECT_NE(std::string::npos, err.pretty_print().find("during evaluation at (r.chai 2, 3)"));
    }
    try {
        e.eval("1 +");
        FAIL();
    } catch (const chai::exception::eval_error& err) {
        EXPECT_STREQ("Error: \"Incomplete Addition expression\" during evaluation  at (1, 4)", err.what());
    }
}

TEST(chai_api, EvalFileAndMissingFile) {
    chai::ChaiScript e;
    EXPECT_THROW(e.eval_file("/nonexistent/x.chai"), chai::exception::file_not_found_error);
    try {
        e.eval_file("missing.chai");
    } catch (const std::runtime_error& err) {
        EXPECT_STREQ("File Not Found: missing.chai", err.what());
    }
    const std::string path = ::testing::TempDir() + "chai_api_test.chai";
    {
        std::ofstream f(path);
        f << "var a = 2\n\nif (a) { }\n";
    }
    try {
        e.eval_file(path);
        FAIL();
    } catch (const chai::exception::eval_error& err) {
        ASSERT_FALSE(err.call_stack.empty());
        EXPECT_EQ(path, err.call_stack[0].filename());
        EXPECT_EQ(3, err.call_stack[0].start().line);
        EXPECT_EQ(5, err.call_stack[0].start().column);
    }
    std::remove(path.c_str());
    EXPECT_THROW(e.eval("1 / 0"), chai::exception::arithmetic_error);
}

TEST(chai_api, EvalFileSkipsAByteOrderMarkAndRefusesDirectories) {
    const std::string path = ::testing::TempDir() + "chai_api_bom.chai";
    {
        std::ofstream f(path, std::ios::binary);
        f << "\xEF\xBB\xBFvar a = 2\na + 3\n";
    }
    chai::ChaiScript e;
    EXPECT_EQ(5, chai::boxed_cast<int>(e.eval_file(path)));
    std::remove(path.c_str());
    try {
        e.eval_file(::testing::TempDir());
        FAIL();
    } catch (const chai::exception::file_not_found_error& err) {
        EXPECT_EQ("File Not Found: " + ::testing::TempDir(), err.what());
    }
    // Over 64 MiB is refused before anything is read (the file is sparse: it costs no disk).
    const std::string big = ::testing::TempDir() + "chai_api_big.chai";
    std::ofstream(big).close();
    std::filesystem::resize_file(big, (std::uintmax_t(64) << 20) + 1);
    try {
        e.eval_file(big);
        FAIL();
    } catch (const chai::exception::file_not_found_error& err) {
        EXPECT_EQ("File too large (over 64 MiB): " + big, err.what());
    }
    std::remove(big.c_str());
}

TEST(chai_api, UncaughtEvalErrorFromAScriptsEvalKeepsTheError) {
    chai::ChaiScript e;
    try {
        e.eval("def f() {\n  eval(\"1\\n  zz\")\n}\nf()", "outer.chai");
        FAIL();
    } catch (const chai::exception::uncaught_throw& t) {
        EXPECT_EQ("eval_error", t.type_name());
        ASSERT_TRUE(t.error());
        EXPECT_EQ("Can not find object: zz", t.error()->reason);
        ASSERT_FALSE(t.error()->call_stack.empty());
        EXPECT_EQ("__EVAL__", t.error()->call_stack[0].filename());
        EXPECT_EQ(2, t.error()->call_stack[0].start().line);
        EXPECT_EQ(3, t.error()->call_stack[0].start().column);
    }
    try {
        e.eval("throw(\"plain\")");
        FAIL();
    } catch (const chai::exception::uncaught_throw& t) {
        EXPECT_FALSE(t.error());
    }
}

TEST(chai_api, StatePersistsAcrossEvalCalls) {
    chai::ChaiScript e;
    e.eval("var counter = 1");
    e.eval("counter += 2");
    EXPECT_EQ(3, e.eval<int>("counter"));
    chai::ChaiScript fresh;
    EXPECT_THROW(fresh.eval("counter"), chai::exception::eval_error);

    // A text with more names, functions, literals and call sites than an engine and a program
    // keep in place, then short texts again: every name still finds its own.
    std::string text = "var sum = 0\n";
    for (int i = 0; i < 60; ++i) {
        const std::string n = std::to_string(i);
        text += "def f" + n + "(x) { var y" + n + " = x; { var z = y" + n + " + " + n + "; z } }\n";
        text += "sum += f" + n + "(" + n + ")\n";
    }
    EXPECT_EQ(2 * 1770, fresh.eval<int>(text + "sum"));
    EXPECT_EQ(2 * 1770 + 7, fresh.eval<int>("def g(a) { a + 7 }\ng(sum)"));
    EXPECT_EQ(2 * 59, fresh.eval<int>("f59(59)"));
}

TEST(chai_api, HostileInputEndsInErrors) {
    chai::ChaiScript e;
    const int depth = 100000;
    const std::vector<std::string> inputs = {
        std::string(depth, '(') + "1" + std::string(depth, ')'),
        std::string(depth, '{') + std::string(depth, '}'),
        std::string(depth, '[') + std::string(depth, ']'),
        std::string(depth, '-') + "1",
        "var x = " + [] { std::string s; for (int i = 0; i < 100000; ++i) s += "1+"; return s + "1"; }(),
        "var y " + [] { std::string s; for (int i = 0; i < 100000; ++i) s += "= y "; return s; }(),
        "def f(n) { f(n + 1) } f(0)",
        "def g(n) { [g(n + 1)] } g(0)",
    };
    for (const std::string& in : inputs) EXPECT_THROW(e.eval(in), chai::exception::eval_error) << in.substr(0, 40);
    EXPECT_EQ(3, e.eval<int>("1 + 2"));  // still usable
    // With stack to spare, the parser's own nesting limit is what stops it, and says so.
    const auto nested = [](int n) { return std::string(n, '(') + "1" + std::string(n, ')'); };
    try {
        e.eval(nested(200));
        ADD_FAILURE() << "200 nested parentheses parsed";
    } catch (const chai::exception::eval_error& err) {
        EXPECT_EQ("Nesting too deep", err.reason);
    }
    EXPECT_EQ(1, e.eval<int>(nested(70)));
    EXPECT_NO_THROW(e.eval("var big = 99999999999999999999999999; var s = \"" + std::string(100000, 'a') + "\""));
    e.set_step_limit(1000);
    EXPECT_THROW(e.eval("while (true) { }"), chai::exception::eval_error);
    // Calls count as steps too, also without any loop.
    try {
        e.eval("def spin(n) { if (n > 0) { spin(n - 1) } } spin(1500)");
        ADD_FAILURE() << "a recursion of 1500 calls ran under a limit of 1000 steps";
    } catch (const chai::exception::eval_error& err) {
        EXPECT_NE(std::string(err.what()).find("Evaluation step limit reached"), std::string::npos) << err.what();
    }
    // Lifted, the limit no longer stops calls.
    e.set_step_limit(0);
    EXPECT_NO_THROW(e.eval("spin(1500)"));
}

TEST(chai_api, HostValues) {
    chai::ChaiScript e;
    e.add(chai::var(5), "local_five");
    e.add_global_const(chai::const_var(std::string("abc")), "NAME");
    e.add_global(chai::var(2.5), "ratio");
    EXPECT_EQ(5, e.eval<int>("local_five"));
    EXPECT_EQ("abc", e.eval<std::string>("def name_of_global() { NAME } name_of_global()"));
    EXPECT_THROW(e.eval("def five() { local_five } five()"), chai::exception::eval_error);
    EXPECT_THROW(e.eval("NAME = \"x\""), chai::exception::eval_error);
    EXPECT_EQ(5.0, e.eval<double>("ratio = 5; ratio"));
    EXPECT_THROW(e.add_global_const(chai::var(1), "k"), chai::exception::global_non_const);
    EXPECT_THROW(e.add_global_const(chai::const_var(1), "NAME"), chai::exception::name_conflict_error);
}

namespace {
// A decimal comma: a host that installs it as the global locale sees it in printed numbers.
struct DecimalComma : std::numpunct<char> {
    DecimalComma() : std::numpunct<char>(1) {}  // on the stack: no locale deletes it
    char do_decimal_point() const override { return ','; }
};
template <class T> std::string streamed(T x) {
    std::ostringstream os;
    os << x;
    return os.str();
}
}  // namespace

TEST(chai_api, FloatingNumbersPrintAsADefaultStreamWritesThem) {
    chai::ChaiScript e;
    const auto text = [&e](auto x) {
        e.set_global(chai::var(x), "x");
        return e.eval<std::string>("to_string(x)");
    };
    using limits = std::numeric_limits<double>;
    for (const double d : {0.0, -0.0, 1e-5, 9.9999951e-5, 1e16, 123456.5, 999999.5, 1234567.0, 1.0 / 3, -2.5e-300,
                           limits::denorm_min(), 4.9e-320, limits::max(), 1e6}) {
        EXPECT_EQ(streamed(d), text(d)) << d;
        EXPECT_EQ(streamed(static_cast<float>(d)), text(static_cast<float>(d))) << d;
        EXPECT_EQ(streamed(static_cast<long double>(d)), text(static_cast<long double>(d))) << d;
    }
    EXPECT_EQ("-inf", text(-limits::infinity()));
    EXPECT_EQ("nan", text(limits::quiet_NaN()));
    DecimalComma comma;
    const std::locale previous = std::locale::global(std::locale(std::locale::classic(), &comma));
    const std::string with_comma = text(2.5);
    std::locale::global(previous);
    EXPECT_EQ("2,5", with_comma);
}

namespace {
struct Settings {
    int gain = 3;
    std::string label = "main";
    chai::Boxed_Value on_change;
};
}  // namespace

TEST(chai_api, DataMembersFunctionObjectsAndBoxedValues) {
    chai::ChaiScript e;
    e.add(chai::user_type<Settings>(), "Settings");
    e.add(chai::constructor<Settings()>(), "Settings");
    e.add(chai::fun(&Settings::gain), "gain");
    e.add(chai::fun(&Settings::label), "label");
    std::function<int(int, int)> mul = [](int a, int b) { return a * b; };
    e.add(chai::fun(mul), "mul");
    e.add(chai::fun([](const chai::Boxed_Value& v) { return v; }), "same");
    EXPECT_EQ(3, e.eval<int>("var s = Settings(); s.gain"));
    EXPECT_EQ("main", e.eval<std::string>("s.label"));
    EXPECT_EQ(42, e.eval<int>("mul(6, 7)"));
    EXPECT_EQ("Vector", e.eval<std::string>("type_name(same([1]))"));
    EXPECT_EQ("Settings", e.eval<std::string>("type_name(s)"));
    EXPECT_THROW(e.eval<int>("\"text\""), chai::exception::bad_boxed_cast);
}

// A failed cast names the held and the wanted C++ type the way typeid spells them.
namespace {
struct Fixture {
    int channel = 1;
    bool enabled = false;
    std::string name = "spot";
    Settings settings;
};
struct Unique {
    Unique() = default;
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;
    int id = 4;
};
}  // namespace

// Data members read in scripts are the members themselves: assignments and updates reach the
// C++ object, while declaring a variable from one takes a copy.
TEST(chai_api, HostReferencesWriteThroughAndDeclarationsCopy) {
    chai::ChaiScript e;
    auto fixture = std::make_shared<Fixture>();
    e.add(chai::fun(&Fixture::channel), "channel");
    e.add(chai::fun(&Fixture::enabled), "enabled");
    e.add(chai::fun(&Fixture::name), "name");
    e.add(chai::fun(&Fixture::settings), "settings");
    e.add(chai::fun(&Settings::gain), "gain");
    e.add(chai::fun(&Settings::label), "label");
    e.add(chai::fun([fixture]() -> Fixture& { return *fixture; }), "fixture");
    e.eval("var f = fixture(); fixture().channel = 7; fixture().channel += 2; ++fixture().channel");
    EXPECT_EQ(10, fixture->channel);
    e.eval("fixture().enabled = true; fixture().name = \"wash\"; fixture().name += \"!\"");
    EXPECT_TRUE(fixture->enabled);
    EXPECT_EQ("wash!", fixture->name);
    e.eval("fixture().settings.gain = 8");
    EXPECT_EQ(8, fixture->settings.gain);
    // Copies: a declared variable, then an object declared from a reference.
    e.eval("var c = fixture().channel; c = 1; f.channel = 2; var s = fixture().settings; s.gain = 0");
    EXPECT_EQ(10, fixture->channel);
    EXPECT_EQ(8, fixture->settings.gain);
    EXPECT_EQ(3, e.eval<int>("var &r = fixture().channel; r = 3; fixture().channel"));
    // A reference into a temporary object keeps that object alive.
    e.add(chai::constructor<Settings()>(), "Settings");
    EXPECT_EQ(9, e.eval<int>("var &held = Settings().gain; held = 9; held"));
    EXPECT_EQ("main", e.eval<std::string>("var &label_ref = Settings().label; label_ref"));

    Unique only;
    e.add(chai::fun([&only]() -> Unique& { return only; }), "only");
    e.add(chai::fun(&Unique::id), "id");
    const auto reason = [&e](const std::string& code) { return error_reason(e, code); };
    EXPECT_EQ(4, e.eval<int>("var &u = only(); u.id"));
    EXPECT_EQ("Missing clone or copy constructor for right hand side of equation", reason("var u2 = only()"));
    EXPECT_EQ("Can not find appropriate 'clone' or copy constructor for vector elements", reason("[only()]"));
    EXPECT_EQ("Can not find appropriate copy constructor or 'clone' while inserting into Map.", reason("[\"k\": only()]"));
}

// A host function throwing bad_boxed_cast declines the call: another overload runs, or the call
// fails as one whose arguments did not fit.
TEST(chai_api, HostBadBoxedCastMeansNoMatch) {
    chai::ChaiScript e;
    const auto small_only = [](int x) -> int {
        if (x > 5) throw chai::exception::bad_boxed_cast("too big");
        return x;
    };
    e.add(chai::fun(small_only), "pick");
    e.add(chai::fun([](double x) { return x * 10; }), "pick");
    e.add(chai::fun(small_only), "only_small");
    EXPECT_EQ(3, e.eval<int>("pick(3)"));
    EXPECT_EQ(70.0, e.eval<double>("pick(7)"));
    EXPECT_EQ(2, e.eval<int>("only_small(2)"));
    try {
        e.eval("only_small(9)");
        FAIL();
    } catch (const chai::exception::eval_error& err) {
        EXPECT_EQ("Error calling function 'only_small'", err.reason);
    }
}

// Script function values as C++ callables: arguments go in as script values (references
// stay references), results come back cast, errors leave as from eval.
TEST(chai_api, ScriptFunctionsAsStdFunction) {
    chai::ChaiScript e;
    const auto inc = e.eval<std::function<int(int)>>("fun(x) { x + 1 }");
    EXPECT_EQ(5, inc(4));
    e.eval("def twice(x) { x * 2 }");
    EXPECT_DOUBLE_EQ(2.5, e.eval<std::function<double(double)>>("twice")(1.25));
    const auto bump = e.eval<std::function<void(int&)>>("fun(x) { x += 3 }");
    int level = 1;
    bump(level);
    EXPECT_EQ(4, level);
    EXPECT_EQ("hi!", e.eval<std::function<std::string(const std::string&)>>("fun(s) { s + \"!\" }")("hi"));
    const auto broken = e.eval<std::function<int(int)>>("fun(x) { nosuch }");
    EXPECT_THROW(broken(1), chai::exception::eval_error);
    // No loop around the host's call: a break there is an error, not something else escaping.
    const auto breaks = e.eval<std::function<int(int)>>("fun(x) { if (x > 0) { break } x }");
    EXPECT_THROW(breaks(1), chai::exception::eval_error);
    EXPECT_EQ(0, breaks(0));
    EXPECT_THROW(e.eval<std::function<int(int)>>("1"), chai::exception::bad_boxed_cast);
}

TEST(chai_api, CastErrorNamesBothTypes) {
    chai::ChaiScript e;
    const auto cast_error = [&e](auto wanted, const std::string& code) -> std::string {
        try {
            e.eval<decltype(wanted)>(code);
        } catch (const chai::exception::bad_boxed_cast& err) {
            return err.what();
        }
        return "no error";
    };
    EXPECT_EQ(std::string("Cannot perform boxed_cast: ") + typeid(double).name() + " to: " + typeid(std::string).name(),
              cast_error(std::string(), "2.5"));
    EXPECT_EQ(std::string("Cannot perform boxed_cast: ") + typeid(std::string).name() + " to: " + typeid(int).name(),
              cast_error(0, "\"s\""));
    EXPECT_EQ(std::string("Cannot perform boxed_cast: ") + typeid(bool).name() + " to: " + typeid(double).name(),
              cast_error(0.0, "true"));
}

TEST(chai_api, DataMemberCalledWithParenthesesCallsItsValue) {
    chai::ChaiScript e;
    e.add(chai::user_type<Settings>(), "Settings");
    e.add(chai::constructor<Settings()>(), "Settings");
    e.add(chai::fun(&Settings::gain), "gain");
    e.add(chai::fun(&Settings::on_change), "on_change");
    e.eval("var s = Settings()");
    EXPECT_EQ(3, e.eval<int>("s.gain()"));  // not a function: the value itself
    e.eval("s.on_change = fun(x) { this.gain * x }");
    EXPECT_EQ(30, e.eval<int>("s.on_change(10)"));  // `this` is the object holding the member
    EXPECT_THROW(e.eval("s.gain(1)"), chai::exception::eval_error);
}

TEST(chai_api, EngineStaysUsableAfterErrors) {
    chai::ChaiScript e;
    e.eval("var keep = 5\ndef deep(n) { if (n == 0) { nosuch() } deep(n - 1) }");
    EXPECT_THROW(e.eval("deep(20)"), chai::exception::eval_error);
    EXPECT_THROW(e.eval("for (var i = 0; i < 3; ++i) { { var inner = i; throw(inner) } }"),
                 chai::exception::uncaught_throw);
    EXPECT_THROW(e.eval("while (true) { break"), chai::exception::eval_error);
    EXPECT_EQ(5, e.eval<int>("keep"));
    EXPECT_THROW(e.eval("inner"), chai::exception::eval_error);  // scopes were unwound
    EXPECT_EQ(7, e.eval<int>("var later = 7; later"));
}

TEST(chai_api, EvalFileReportsItsName) {
    const std::string path = ::testing::TempDir() + "chai_api_syntax.chai";
    {
        std::ofstream f(path);
        f << "var a = 1\nvar b = (a\n";
    }
    chai::ChaiScript e;
    try {
        e.eval_file(path);
        FAIL();
    } catch (const chai::exception::eval_error& err) {
        EXPECT_EQ(path, err.filename);
        EXPECT_EQ(2, err.start_position.line);
        EXPECT_TRUE(err.call_stack.empty());
    }
    {
        std::ofstream f(path);
        f << "throw(\"stop\")\n";
    }
    try {
        e.eval_file(path);
        FAIL();
    } catch (const chai::exception::uncaught_throw& t) {
        EXPECT_EQ("stop", t.what());
    }
    std::remove(path.c_str());

    // Texts of two files in turn: every tree keeps naming its own file, also after the other
    // file's text was read (texts of one name share its record).
    e.eval("def from_one() { nosuch_one() }", "one.chai");
    e.eval("def from_two() { nosuch_two() }", "two.chai");
    e.eval("def from_one_again() { nosuch_one() }", "one.chai");
    const std::pair<const char*, const char*> calls[] = {
        {"from_one()", "one.chai"}, {"from_two()", "two.chai"}, {"from_one_again()", "one.chai"}};
    for (const auto& [call, file] : calls) {
        try {
            e.eval(call);
            ADD_FAILURE() << call;
        } catch (const chai::exception::eval_error& err) {
            EXPECT_EQ(file, err.call_stack.front().filename());
        }
    }
}

TEST(chai_api, EnginesRunConcurrently) {
    auto work = [](int seed, int* out) {
        chai::ChaiScript e;
        e.add(chai::fun([seed](int x) { return x + seed; }), "shift");
        *out = e.eval<int>(
            "var t = 0; for (var i = 0; i < 2000; ++i) { t += shift(i % 3) }; "
            // Value attributes share one table between engines; futures stay in their engine.
            "for (var j = 0; j < 500; ++j) { var n = j; get_var_attr(n, \"k\") = n; t += get_var_attr(n, \"k\") - j }; "
            "t += async(fun() { 0 }).get(); "
            // Both threads make and drop trees (each keeps its own freed nodes and child lists;
            // lists longer than those kept come from the allocator).
            "for (var k = 0; k < 300; ++k) { t += eval(\"if (true) { 0 } else { [1, 2] }\") }; "
            "for (var k = 0; k < 100; ++k) { t += eval(\"[1, 2, 3, 4, 5, 6, 7, 8, 9, 10, k][10] - k\") }; "
            "class K { var v; def K() { this.v = [1, 2] } }; t + K().v.size()");
    };
    int a = 0, b = 0;
    std::thread t1(work, 1, &a);
    std::thread t2(work, 2, &b);
    t1.join();
    t2.join();
    // i % 3 sums to 1999 over the loop; each call adds the seed; the vector adds 2.
    EXPECT_EQ(1999 + 1 * 2000 + 2, a);
    EXPECT_EQ(1999 + 2 * 2000 + 2, b);

    // Trees freed on another thread than the one that made them, after it ended, and while it
    // ends (an engine of the thread's own that goes after the thread's kept blocks).
    auto made_here = std::make_unique<chai::ChaiScript>();
    made_here->eval("def g(x) { if (x > 0) { [x, x] } else { [0] } }");
    std::unique_ptr<chai::ChaiScript> made_there;
    int c = 0;
    std::thread t3([&] {
        thread_local chai::ChaiScript ends_last;
        c = made_here->eval<int>("g(3).size()");
        made_here.reset();
        made_there = std::make_unique<chai::ChaiScript>();
        made_there->eval("def h() { eval(\"[1, 2, 3]\").size() }");
        c += ends_last.eval<int>("def k() { eval(\"if (true) { 4 } else { [5] }\") }; k()");
    });
    t3.join();
    EXPECT_EQ(6, c);
    EXPECT_EQ(3, made_there->eval<int>("h()"));
    made_there.reset();
}

TEST(chai_api, DispatchErrorsDescribeParametersAndCandidates) {
    chai::ChaiScript e;
    try {
        e.eval("def f(int x) { x }\ndef f(string s, y) : y > 1 { s }\nf(1.5, 2, 3)", "d.chai");
        FAIL();
    } catch (const chai::exception::eval_error& err) {
        EXPECT_STREQ("Error: \"Error with function dispatch with function 'f'\" With parameters: (const double, "
                     "const int, const int) ",
                     err.what());
        const std::string pp = err.pretty_print();
        EXPECT_NE(std::string::npos, pp.find("2 overloads available:")) << pp;
        EXPECT_NE(std::string::npos, pp.find("(int)")) << pp;
        EXPECT_NE(std::string::npos, pp.find("(string, Object) : (y > 1)")) << pp;
        // Script candidates say where their bodies begin.
        EXPECT_NE(std::string::npos, pp.find("      (int)\n          Defined at (d.chai 1, 16)\n")) << pp;
        EXPECT_NE(std::string::npos, pp.find("          Defined at (d.chai 2, 30)\n")) << pp;
        ASSERT_FALSE(err.call_stack.empty());
        EXPECT_EQ(3, err.call_stack[0].start().line);
        EXPECT_EQ("f(1.5, 2, 3)", err.call_stack[0].pretty_print());
    }
    try {
        e.eval("bind(5)");
        FAIL();
    } catch (const chai::exception::eval_error& err) {
        EXPECT_NE(std::string::npos, err.pretty_print().find("  Expected: (...)\n")) << err.pretty_print();
    }
    try {
        e.eval("\"a\".size(1)");
        FAIL();
    } catch (const chai::exception::eval_error& err) {
        EXPECT_STREQ("Error: \"Error with function dispatch for function 'size'\" With parameters: (const string)."
                     "(const int) ",
                     err.what());
    }
    // Host candidates taking const references or pointers to const list those parameters as const.
    e.add(chai::fun([](const std::string& s, int n, const std::vector<int>* v) { return s.size() + v->size() + size_t(n); }),
          "measure");
    try {
        e.eval("measure(1, 2, 3)");
        FAIL();
    } catch (const chai::exception::eval_error& err) {
        const std::string expected = std::string("  Expected: (const string, int, const ") + typeid(std::vector<int>).name() + ")\n";
        EXPECT_NE(std::string::npos, err.pretty_print().find(expected)) << err.pretty_print();
    }
}

TEST(chai_api, PrintWritesTextFormsToStdout) {
    std::ostringstream captured;
    std::streambuf* old = std::cout.rdbuf(captured.rdbuf());
    chai::ChaiScript e;
    try {
        e.eval("print(3.0); print(1e-5); print([1, \"a\", 'c', true]); print([\"k\": Pair(1, 2.5)]); "
               "puts(\"no newline\"); print(\"\"); class P { def P() { } def to_string() { \"<P>\" } }; print(P())");
    } catch (...) {
        std::cout.rdbuf(old);
        throw;
    }
    std::cout.rdbuf(old);
    EXPECT_EQ("3\n1e-05\n[1, a, c, true]\n[<k, <1, 2.5>>]\nno newline\n<P>\n", captured.str());
}

TEST(chai_api, ScriptsLoadOtherFiles) {
    std::string path = ::testing::TempDir() + "chai_api_used.chai";
    // Windows temporary paths have backslashes, which a script string would read as escapes.
    std::replace(path.begin(), path.end(), '\\', '/');
    {
        std::ofstream f(path);
        f << "global loads = (is_var_undef(loads) ? 0 : loads) + 1\n";
    }
    chai::ChaiScript e;
    e.eval("global loads; use(\"" + path + "\"); use(\"" + path + "\"); eval_file(\"" + path + "\")");
    EXPECT_EQ(2, e.eval<int>("loads"));
    EXPECT_EQ("File Not Found: nowhere.chai",
              e.eval<std::string>("var m = \"\"; try { eval_file(\"nowhere.chai\") } catch (runtime_error x) { m = x.what() }; m"));
    std::remove(path.c_str());
}

namespace {
struct Channel {
    int number = 0;
};
}  // namespace

TEST(chai_api, ScriptConversionsFeedHostFunctions) {
    chai::ChaiScript e;
    e.add(chai::user_type<Channel>(), "Channel");
    e.add(chai::fun([](int n) { return Channel{n}; }), "make_channel");
    int selected = -1;
    e.add(chai::fun([&selected](const Channel& c) { selected = c.number; }), "select");
    e.eval("add_type_conversion(type(\"int\"), type(\"Channel\"), fun(i) { make_channel(i * 10) })");
    e.eval("select(4)");
    EXPECT_EQ(40, selected);
    e.eval("select(make_channel(2))");
    EXPECT_EQ(2, selected);
    EXPECT_THROW(e.eval("select(\"4\")"), chai::exception::eval_error);
    EXPECT_EQ(2, selected);
}

TEST(chai_api, TextThatIsNoProgramRunsNothing) {
    chai::ChaiScript e;
    e.eval("var ran = 0");
    EXPECT_THROW(e.eval("@ ran = 1"), chai::exception::eval_error);
    EXPECT_THROW(e.eval("ran = 2\n@"), chai::exception::eval_error);
    EXPECT_THROW(e.eval("\n@ ran = 3"), chai::exception::eval_error);
    EXPECT_EQ(0, e.eval<int>("ran"));
}

TEST(chai_api, HostExceptionsAreNamedByTheirStandardBase) {
    chai::ChaiScript e;
    e.add(chai::fun([](int kind) -> int {
              if (kind == 0) throw std::range_error("range");
              if (kind == 1) throw std::invalid_argument("argument");
              throw std::length_error("length");
          }),
          "host_fail");
    const char* code =
        "def caught(k) { try { host_fail(k) } catch (out_of_range e) { return \"oor\" } catch (e) { return type_name(e) + \":\" + e.what() } }\n"
        "caught(0) + \" \" + caught(1) + \" \" + caught(2)";
    EXPECT_EQ("runtime_error:range exception:argument exception:length", eval_string(e, code));
    // Uncaught, each leaves as itself.
    EXPECT_THROW(e.eval("host_fail(1)"), std::invalid_argument);
    // Inside a try no catch takes it: dropped, like anything a try does not catch.
    EXPECT_NO_THROW(e.eval("try { host_fail(2) } catch (runtime_error e) { }"));
}

TEST(chai_api, DumpObjectWritesConstnessAndType) {
    std::ostringstream captured;
    std::streambuf* old = std::cout.rdbuf(captured.rdbuf());
    chai::ChaiScript e;
    try {
        e.eval("dump_object(1); var v = [1]; dump_object(v); class D { def D() { } }; dump_object(D())");
    } catch (...) {
        std::cout.rdbuf(old);
        throw;
    }
    std::cout.rdbuf(old);
    EXPECT_EQ("const int\nVector\nDynamic_Object\n", captured.str());
}

TEST(chai_api, GlobalsAndUseFromTheHost) {
    chai::ChaiScript e;
    e.add_global(chai::var(1), "level");
    EXPECT_THROW(e.add_global(chai::var(2), "level"), chai::exception::name_conflict_error);
    e.set_global(chai::var(3), "level");
    e.set_global(chai::var(std::string("new")), "label");
    EXPECT_EQ(3, e.eval<int>("def read_level() { level } read_level()"));
    EXPECT_EQ("new", e.eval<std::string>("label"));
    e.add_global_const(chai::const_var(4), "fixed");
    EXPECT_THROW(e.set_global(chai::var(5), "fixed"), std::runtime_error);

    const std::string path = ::testing::TempDir() + "chai_api_use_once.chai";
    EXPECT_THROW(e.use(path), chai::exception::file_not_found_error);
    {
        std::ofstream f(path);
        f << "global uses = 0\n++uses\n";
    }
    EXPECT_EQ(1, chai::boxed_cast<int>(e.use(path)));
    e.use(path);
    EXPECT_EQ(1, e.eval<int>("uses"));
    std::remove(path.c_str());
}

namespace {
// Runs f on a new thread with the given stack size (POSIX threads: MinGW has them too).
void on_thread_with_stack(size_t bytes, const std::function<void()>& f) {
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, bytes);
    pthread_t thread;
    auto body = [](void* p) -> void* {
        (*static_cast<const std::function<void()>*>(p))();
        return nullptr;
    };
    ASSERT_EQ(0, pthread_create(&thread, &attr, body, const_cast<std::function<void()>*>(&f)));
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
}
}  // namespace

// Scripts recurse as deep on a small thread stack as on the main thread, and runaway recursion
// ends in an error there too.
TEST(chai_api, RecursionDepthDoesNotDependOnTheCallersStack) {
#if defined(__SANITIZE_THREAD__)
    const int deep = 2000;  // the thread sanitizer follows at most 64Ki nested C++ calls
#else
    const int deep = 10000;
#endif
    const auto check = [deep] {
        chai::ChaiScript e;
        e.eval("def depth(n) { if (n == 0) { 0 } else { 1 + depth(n - 1) } }");
        EXPECT_EQ(deep, e.eval<int>("depth(" + std::to_string(deep) + ")"));
        try {
            e.eval("def runaway(n) { runaway(n + 1) } runaway(0)");
            ADD_FAILURE() << "runaway recursion ended";
        } catch (const chai::exception::eval_error& err) {
            EXPECT_EQ("Call stack depth exceeded", err.reason);
        }
        EXPECT_EQ(3, e.eval<int>("depth(3)"));  // usable afterwards
    };
    check();
    for (size_t kib : {256, 512, 1024}) {
        SCOPED_TRACE(std::to_string(kib) + " KiB thread stack");
        on_thread_with_stack(kib * 1024, check);
    }
}

// Every recursive pass checks the stack it runs on. Run where a recursion has left almost no
// stack, parsing and running deeply nested text, printing, comparing, JSON, describing a syntax
// tree and calling a chain of bound functions fail with "Call stack depth exceeded" (and are
// tried again a level further up) instead of overflowing it.
TEST(chai_api, EveryRecursivePassStopsWhereTheStackEnds) {
#if defined(__SANITIZE_THREAD__)
    // Each error unwinding deep C++ recursion on the engine's stack costs it some 100 MB.
    GTEST_SKIP() << "the thread sanitizer's memory grows with every deep unwinding";
#endif
    chai::ChaiScript e;
    e.eval(R"chai(
        global levels = 0
        global tries = 0
        // Goes n levels down, then runs code at the deepest level where it has room.
        def at_depth(n, code) {
          ++levels
          if (n > 0) {
            try {
              return at_depth(n - 1, code)
            } catch (e) {
              if (e.reason() != "Call stack depth exceeded") { throw(e) }
            }
          }
          ++tries
          eval(code)
        }
        def repeated(s, n) { var out = "";  for (var i = 0; i < n; ++i) { out += s };  out }
        def nested_pairs(n) { if (n == 0) { Pair(0, 0) } else { Pair(nested_pairs(n - 1), n) } }
        global nested_ifs = repeated("if (true) { ", 150) + "7" + repeated(" }", 150)
        global nested_vectors = repeated("[", 60) + "1" + repeated("]", 60) + ".size()"
        global long_sum = "1" + repeated(" + 1", 600)
        global deep_vector = from_json(repeated("[", 150) + repeated("]", 150))
        global deep_pair = nested_pairs(300)
        global bound_chain = [fun(x) { x + 1 }]
        for (var i = 0; i < 300; ++i) { bound_chain.push_back(bind(bound_chain[i], _)) }
    )chai");
    EXPECT_THROW(e.eval("at_depth(100000000, \"0\")"), chai::exception::eval_error);
    // A few levels short of the deepest call that succeeded: how the host enters an evaluation
    // moves where it starts by a few frames (more so on Windows' fibers).
    const std::string room = std::to_string(e.eval<int>("levels") - 8);
    for (const char* code : {"nested_ifs", "nested_vectors", "long_sum", "\"to_string(deep_vector).size()\"",
                             "\"to_string(deep_pair).size()\"", "\"deep_vector == deep_vector\"",
                             "\"deep_pair == deep_pair\"", "\"to_json(deep_vector).size()\"",
                             "\"from_json(to_json(deep_vector)).size()\"", "\"to_string(parse(nested_ifs)).size()\"",
                             "\"bound_chain[300](1)\""}) {
        SCOPED_TRACE(code);
        e.eval("tries = 0");
        const std::string at_top = e.eval<std::string>(std::string("to_string(eval(") + code + "))");
        EXPECT_EQ(at_top, e.eval<std::string>("to_string(at_depth(" + room + ", " + code + "))"));
        EXPECT_GT(e.eval<int>("tries"), 1);
    }
}
