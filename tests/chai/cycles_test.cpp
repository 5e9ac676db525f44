// Values in reference cycles, and names: freed with the engine unless the host still holds them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "chai/chaiscript.hpp"
#include "chai/library/library.hpp"
#include "chai/runtime/interp.hpp"
#include "chai/stack/sanitizers.hpp"

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#if defined(CHAI_ASAN) || defined(CHAI_TSAN)
#define CHAI_TEST_SANITIZED 1
#endif

namespace {

struct Gauge {
    int reading = 7;
};

// A host value with a destructor (an open device, say) that script cycles hold.
struct Probe {
    static int live;
    Probe() { ++live; }
    Probe(const Probe&) { ++live; }
    Probe& operator=(const Probe&) = default;
    ~Probe() { --live; }
};
int Probe::live = 0;

// Runs code in a fresh engine whose cycle collector runs after every `interval` new boxes.
void run_collecting(const std::string& code, size_t interval) {
    chai::Interp in(chai::library_table(), chai::library_types());
    in.set_collect_interval(interval);
    in.enter([&] { return in.eval_text(code, "collecting.chai"); });
}

#if !defined(_WIN32) && !defined(CHAI_TEST_SANITIZED)
// Peak resident memory (KiB) of a child process that runs body; -1 when it failed. Sanitizer
// builds keep freed memory aside, so only plain builds measure.
long child_peak_kb(const std::function<void()>& body) {
    const pid_t pid = fork();
    if (pid == 0) {
        try {
            body();
        } catch (...) {
            _exit(1);
        }
        _exit(0);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return usage.ru_maxrss;
}

// How much more memory the script takes for `large` than for `small` (its text has N in place
// of the count), in MiB.
long growth_mb(const std::string& script, int small, int large) {
    const auto peak = [&](int n) {
        std::string code = script;
        code.replace(code.find('N'), 1, std::to_string(n));
        return child_peak_kb([&] { chai::ChaiScript().eval(code); });
    };
    const long a = peak(small), b = peak(large);
    EXPECT_GT(a, 0);
    EXPECT_GT(b, 0);
    return (b - a) / 1024;
}
#endif

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

    // Many names of one table, past its growth and its blocks of names, keep their ids and
    // texts; the shared ones are still found through it.
    chai::Names own(&chai::library_table().names);
    std::vector<uint32_t> ids;
    for (int i = 0; i < 200; ++i) ids.push_back(own.intern("n" + std::to_string(i)));
    for (int i = 0; i < 200; ++i) {
        EXPECT_EQ(ids[i], own.intern("n" + std::to_string(i)));
        EXPECT_EQ("n" + std::to_string(i), own.name(ids[i]));
    }
    EXPECT_EQ(0u, own.find("n200"));
    EXPECT_EQ(chai::library_table().names.find("to_string"), own.find("to_string"));
    EXPECT_EQ(shared + 200, own.end());
}

// A control loop making cycles (an object whose callback captures it, holding a host object)
// frees them while it runs: what they hold is released long before the loop ends.
TEST(chai_cycles, CyclesMadeInOneLongRunAreFreedWhileItRuns) {
    Probe::live = 0;
    int most = 0;
    const auto engine = [&most] {
        auto e = std::make_unique<chai::ChaiScript>();
        e->add(chai::user_type<Probe>(), "Probe");
        e->add(chai::constructor<Probe()>(), "Probe");
        e->add(chai::fun([&most]() { most = std::max(most, Probe::live); }), "note_probes");
        return e;
    };
    engine()->eval("for (var i = 0; i < 30000; ++i) {"
                   "  var o = Dynamic_Object();  o.probe = Probe();  o.callback = fun[o]() { o };"
                   "  if (i % 500 == 0) { note_probes() } }");
    EXPECT_GT(most, 0);
    EXPECT_LT(most, 10000);
    EXPECT_EQ(0, Probe::live);
    // A recursion whose frames each hold a cycle, making garbage cycles on its way down:
    // collections meanwhile leave every one the frames hold.
    most = 0;
    engine()->eval("def dive(n) { var v = [];  v.push_back_ref(v);  v.push_back(Probe());"
                   "  for (var i = 0; i < 8; ++i) { var g = [];  g.push_back_ref(g) }"
                   "  if (n == 0) { note_probes() } else { dive(n - 1) } }  dive(1500)");
    EXPECT_EQ(1501, most);
    EXPECT_EQ(0, Probe::live);
}

// Collecting while scripts run frees only what nothing running can reach: the feature scripts
// pass with the collector running after every few boxes made (the sanitizer builds check that
// nothing in use is freed).
TEST(chai_cycles, CollectingWhileScriptsRunKeepsWhatIsInUse) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(CHAI_TEST_DIR) / "scripts";
    const std::string helpers = chai::read_script_file((dir / "assert.chai").string());
    for (const char* name : {"cycles.chai", "classes.chai", "functional.chai", "containers.chai", "exceptions.chai",
                             "async.chai", "scope.chai", "value_attrs.chai"}) {
        SCOPED_TRACE(name);
        const std::string script = chai::read_script_file((dir / name).string());
        EXPECT_NO_THROW(run_collecting(helpers + "\n" + script, 8));
    }
    // Values only the evaluator holds (operands, arguments, a container being walked, a thrown
    // value, a function being called) while cycles around them are collected.
    EXPECT_NO_THROW(run_collecting(R"(
        def churn() { var v = [];  v.push_back_ref(v); 1 }
        def pair_up(a, b) { churn() + churn();  [a, b] }
        global total = 0
        for (var i = 0; i < 300; ++i) {
          var o = Dynamic_Object();  o.me = o;  o.f = fun[o](x) { churn();  x + 1 }
          total += pair_up([i], Dynamic_Object())[0][0] + o.f(churn())
          for_each([[1], [2]], fun(x) { churn();  total += x[0] })
          try { throw([churn(), i]) } catch (e) { churn();  total += e[1] - i }
          total += fun[o](n) { churn();  n }(1)
        }
        if (total != 300 * 299 / 2 + 300 * 2 + 300 * 3 + 300) { throw("wrong total " + to_string(total)) }
        // A reference to a character kept in a cycle: its string outlives the cycle.
        var text = "abc"
        for (var i = 0; i < 20; ++i) { var held = [];  held.push_back_ref(held);  var &c = text[0];  held.push_back_ref(c);  churn() }
        var &first = text[0]
        first = 'z'
        if (text != "zbc") { throw("character reference lost") }
    )", 1));
}

#if !defined(_WIN32) && !defined(CHAI_TEST_SANITIZED)
// Memory stays flat in a loop making cycles, however long it runs.
TEST(chai_cycles, ALongLoopMakingCyclesTakesNoMoreMemory) {
    EXPECT_LT(growth_mb("for (var i = 0; i < N; ++i) { var o = Dynamic_Object();  o.callback = fun[o]() { o } }",
                        2000, 150000),
              32);
}

// Overloads defined while a script runs take memory in proportion to their number.
TEST(chai_cycles, OverloadsDefinedInOneRunTakeMemoryInProportion) {
    EXPECT_LT(growth_mb("for (var i = 0; i < N; ++i) { def h(x) : x == i { 1 } }", 2500, 10000), 48);
}

// Copying objects that refer to each other takes memory in proportion to them.
TEST(chai_cycles, CopyingObjectsInACycleTakesMemoryInProportion) {
    EXPECT_LT(growth_mb("var a = Dynamic_Object();  var b = Dynamic_Object();  var c = Dynamic_Object();"
                        "a.next := b;  b.prev := a;  b.next := c;  c.prev := b;"
                        "for (var i = 0; i < N; ++i) { var nodes = [a, b, c];  var t = b;  var u = clone(c) }",
                        100, 20000),
              16);
}
#endif
