// async(f): a future of a script function's result.
//
// Boxes are reference counted without atomics and the evaluator keeps its state in the engine,
// so a second thread may never evaluate while the owner does. The function therefore runs
// deferred: on the first get() or wait(), on the thread that asks, inside the engine that is
// already evaluating that call. Scripts keep the future interface; the host keeps its safety.
#include <future>

#include "chai/library/library.hpp"

namespace chai {

namespace {

// Copies of a future value share this one object (library types are never cloned).
struct FutureValue {
    std::future<Value> f;
    bool running = false;
};

// Marks a future whose function is being run, for as long as it runs.
struct Running {
    explicit Running(bool& flag) : flag_(flag) { flag_ = true; }
    ~Running() { flag_ = false; }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;

private:
    bool& flag_;
};

// The future, ready to be waited for; a function waiting for its own result would never end.
std::future<Value>& usable(FutureValue& v) {
    if (v.running) throw std::runtime_error("A future cannot wait for its own result");
    if (!v.f.valid()) throw std::future_error(std::future_errc::no_state);
    return v.f;
}

}  // namespace

void add_async_lib(LibBuilder& b) {
    const TypeKey future = b.type<FutureValue>("future");

    b.add("async", {K("Function")}, [](Context& c, Args a) {
        Value fn = a[0];
        Context* engine = &c;
        return lib_value(FutureValue{std::async(std::launch::deferred, [engine, fn] { return engine->call_value(fn, Args{}); })});
    });
    b.add("get", {future}, [](Context&, Args a) {
        FutureValue& v = lib_obj<FutureValue>(a[0]);
        std::future<Value>& f = usable(v);
        Running running(v.running);
        return f.get();
    });
    b.add("wait", {future}, [](Context&, Args a) {
        FutureValue& v = lib_obj<FutureValue>(a[0]);
        std::future<Value>& f = usable(v);
        Running running(v.running);
        f.wait();
        return Value();
    });
    b.add("valid", {future}, [](Context&, Args a) { return make_bool(lib_obj<FutureValue>(a[0]).f.valid()); });
}

}  // namespace chai
