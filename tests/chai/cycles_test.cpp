// Values in reference cycles, and names: freed with the engine unless the host still holds them.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "chai/chaiscript.hpp"
#include "chai/library/library.hpp"
#include "chai/runtime/interp.hpp"

namespace {

struct Gauge {
    int reading = 7;
};

// The engine's view of values: the host sees no more than Boxed_Value.
chai::Vector& vec(const chai::Boxed_Value& b) { return *b.value().vec(); }
chai::Vector& vec(const chai::Value& v) { return *v.vec(); }

}  // namespace

TEST(chai_cycles, CyclesHoldingAHostValueAreFreedWithTheEngine) {
    chai::Boxed_Value gauge = chai::var(Gauge{});
    {
        chai::ChaiScript e;
        e.add(chai::user_type<Gauge>(), "Gauge");
        e.add_global(gauge, "gauge");
        e.eval("var ring = [];  ring.push_back_ref(ring);  ring.push_back_ref(gauge)");
        e.eval("var o = Dynamic_Object();  o.me = [];  o.me.push_back_ref(o);  o.me.push_back_ref(gauge)");
        e.eval("var f;  f = fun[f, gauge](n) { if (n == 0) { gauge } else { f(n - 1) } }");
        e.eval("var m = Map();  var entry = Map_Pair(\"k\", []);  entry.second.push_back_ref(m);"
               "entry.second.push_back_ref(gauge);  m.insert_ref(entry)");
        e.eval("def leave() { var v = [];  v.push_back_ref(v);  v.push_back_ref(gauge) }  leave()");
        e.eval("var s = Map();  s[\"self\"] := s;  s[\"g\"] := gauge");  // cells sharing values
        EXPECT_EQ(7, e.eval<Gauge>("f(3)").reading);
        EXPECT_GE(gauge.use_count(), 7);
    }
    // Only the host's own reference is left: every structure that held the value is gone.
    EXPECT_EQ(1, gauge.use_count());
    EXPECT_EQ(7, chai::boxed_cast<Gauge>(gauge).reading);
}

TEST(chai_cycles, ValuesTheHostHoldsStayIntact) {
    chai::Boxed_Value ring, fn;
    {
        chai::ChaiScript e;
        ring = e.eval("var a = [1];  var b = [2];  a.push_back_ref(b);  b.push_back_ref(a);  a");
        fn = e.eval("var f;  f = fun[f, a](n) { if (n == 0) { a.size() } else { f(n - 1) } };  f");
        e.eval("var lost = [];  lost.push_back_ref(lost)");
    }
    ASSERT_EQ(2u, vec(ring).size());
    EXPECT_EQ(1, chai::boxed_cast<int>(chai::Boxed_Value(vec(ring)[0])));
    const chai::Value& b = vec(ring)[1];
    ASSERT_EQ(2u, vec(b).size());
    EXPECT_EQ(2, chai::boxed_cast<int>(chai::Boxed_Value(vec(b)[0])));
    EXPECT_EQ(ring.value().box(), vec(b)[1].box());

    auto* script_fn = dynamic_cast<const chai::ScriptFn*>(fn.value().func()->get());
    ASSERT_NE(nullptr, script_fn);
    ASSERT_EQ(2u, script_fn->captures.size());
    EXPECT_EQ(script_fn, script_fn->captures[0].func()->get());
    EXPECT_EQ(ring.value().box(), script_fn->captures[1].box());

    // The host breaks the cycles it kept; nothing else is left over.
    script_fn->captures.clear();
    vec(b).clear();
}

TEST(chai_cycles, AValueHandedToAnotherEngineIsFreedByIt) {
    chai::Boxed_Value probe = chai::var(1);
    chai::Boxed_Value kept;
    {
        chai::ChaiScript first;
        first.add(probe, "probe");
        kept = first.eval("var x = [];  x.push_back_ref(x);  x.push_back_ref(probe);  x");
    }
    auto second = std::make_unique<chai::ChaiScript>();
    second->add(kept, "from_first");
    kept = chai::Boxed_Value();
    EXPECT_EQ(2, second->eval<int>("from_first[0][0].size()"));
    EXPECT_EQ(1, second->eval<int>("from_first[1]"));
    EXPECT_EQ(2, probe.use_count());
    second.reset();
    EXPECT_EQ(1, probe.use_count());
}

TEST(chai_cycles, AnEngineKeptForManyRunsFreesCyclesAsItGoes) {
    chai::Boxed_Value probe = chai::var(1);
    chai::ChaiScript e;
    e.add_global(probe, "probe");
    e.eval("def churn() { var v = [];  v.push_back_ref(v);  v.push_back_ref(probe);  var o = Dynamic_Object();  o.v = v }");
    for (int i = 0; i < 20000; ++i) e.eval("churn()");
    // Each run left a cycle holding the probe; most of them must be gone already.
    EXPECT_LT(probe.use_count(), 10000);
    EXPECT_EQ(1, e.eval<int>("probe"));
}

// Names a script brings belong to its engine: the shared names never grow, and code eval'd in a
// loop declaring and reading new names leaves the engine's own names as they were.
TEST(chai_cycles, NamesGoWithTheirEngine) {
    const uint32_t shared = chai::library_table().names.end();
    for (int i = 0; i < 20; ++i) {
        chai::ChaiScript e;
        e.eval("var fresh_" + std::to_string(i) + " = 1; def named_" + std::to_string(i) + "(x) { x.attr_" +
               std::to_string(i) + " }");
    }
    EXPECT_EQ(shared, chai::library_table().names.end());

    chai::Interp in(chai::library_table(), chai::library_types());
    const auto run = [&in](const std::string& code) { in.enter([&] { return in.eval_text(code, "names.chai"); }); };
    run("def churn(i) { eval(\"var v\" + to_string(i) + \" = i; v\" + to_string(i) + \" + 1\") }");
    run("churn(0)");
    const uint32_t before = in.syms().names().end();
    run("for (var i = 1; i < 2000; ++i) { churn(i); eval(\"var w\" + to_string(i) + \" = 2\") }");
    EXPECT_EQ(before, in.syms().names().end());
}
