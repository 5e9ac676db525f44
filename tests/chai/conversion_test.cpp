// Embedding API: script Maps and user conversions passed to C++ parameters.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "chai/chaiscript.hpp"

namespace {

struct Celsius {
    double degrees = 0;
    explicit Celsius(double d) : degrees(d) {}
};

struct Label {
    std::string text;
    explicit Label(const std::string& s) : text(s) {}
};

struct Fahrenheit {
    double degrees = 0;
};

int total(const std::map<std::string, int>& m) {
    int sum = 0;
    for (const auto& [k, v] : m) sum += v * static_cast<int>(k.size());
    return sum;
}

}  // namespace

TEST(chai_conversions, MapConversionNeedsExactValues) {
    chai::ChaiScript e;
    e.add(chai::fun(&total), "total");
    EXPECT_THROW(e.eval("total([\"a\": 1])"), chai::exception::eval_error);  // not registered yet
    e.add(chai::map_conversion<std::map<std::string, int>>());
    EXPECT_EQ(1 + 2 * 2, e.eval<int>("total([\"a\": 1, \"bb\": 2])"));
    EXPECT_EQ(0, e.eval<int>("total(Map())"));
    try {
        e.eval("total([\"a\": 1.5])");
        FAIL() << "double value accepted for int";
    } catch (const chai::exception::eval_error& err) {
        EXPECT_EQ("Error calling function 'total'", err.reason);
    }
    EXPECT_THROW(e.eval("total([1, 2])"), chai::exception::eval_error);  // a Vector is no Map
}

TEST(chai_conversions, TypeConversionFromNumbersStringsAndHostTypes) {
    chai::ChaiScript e;
    e.add(chai::user_type<Celsius>(), "Celsius");
    e.add(chai::fun([](const Celsius& c) { return c.degrees; }), "warmth");
    e.add(chai::fun([](const Label& l) { return l.text + "!"; }), "shout");
    e.add(chai::fun([]() { return Fahrenheit{212}; }), "boiling");
    e.add(chai::type_conversion<double, Celsius>());
    e.add(chai::type_conversion<std::string, Label>());
    e.add(chai::type_conversion<Fahrenheit, Celsius>(
        [](const Fahrenheit& f) { return Celsius((f.degrees - 32) * 5 / 9); }));

    EXPECT_DOUBLE_EQ(21.5, e.eval<double>("warmth(21.5)"));
    EXPECT_DOUBLE_EQ(3.0, e.eval<double>("warmth(3)"));  // any number converts to double first
    EXPECT_EQ("hi!", e.eval<std::string>("shout(\"hi\")"));
    EXPECT_DOUBLE_EQ(100.0, e.eval<double>("warmth(boiling())"));
    EXPECT_THROW(e.eval("warmth(\"hot\")"), chai::exception::eval_error);
    EXPECT_THROW(e.eval("shout(1)"), chai::exception::eval_error);
}

TEST(chai_conversions, ExactOverloadWinsOverConversion) {
    chai::ChaiScript e;
    e.add(chai::fun([](const Celsius&) { return std::string("celsius"); }), "kind");
    e.add(chai::fun([](double) { return std::string("number"); }), "kind");
    e.add(chai::type_conversion<double, Celsius>());
    EXPECT_EQ("number", e.eval<std::string>("kind(1.5)"));
}
