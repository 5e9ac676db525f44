// async(f): a future of a script function's result.
//
// Boxes are reference counted without atomics and the evaluator keeps its state in the engine,
// so a second thread may never evaluate while the owner does. The function therefore runs
// deferred: on the first get() or wait(), on the thread that asks, inside the engine that is
// already evaluating that call. Scripts keep the future interface; the host keeps its safety.
#include <exception>
#include <future>
#include <memory>

#include "chai/library/library.hpp"

namespace chai {

namespace {

// Copies of a future value share this one object (library types are never cloned). The function
// waits in the value's held slot (the function until it has run, then its result until taken),
// where the cycle collector sees it: a function that keeps its own future (in a captured
// container, say) would otherwise keep both alive for ever.
struct FutureValue {
    enum class State { Waiting, Running, Ready, Taken };
    Context* engine;
    std::exception_ptr error;
    State state = State::Waiting;
};

Value& held(const Value& future) { return (*future.host()->held)[0]; }

// Runs the function on first demand; a function waiting for its own result would never end.
FutureValue& settle(const Value& future) {
    FutureValue& v = lib_obj<FutureValue>(future);
    using State = FutureValue::State;
    if (v.state == State::Running) throw std::runtime_error("A future cannot wait for its own result");
    if (v.state == State::Taken) throw std::future_error(std::future_errc::no_state);
    if (v.state == State::Ready) return v;
    v.state = State::Running;
    Value& slot = held(future);
    try {
        const Value fn = std::move(slot);
        slot = v.engine->call_value(fn, Args{});
    } catch (...) {
        v.error = std::current_exception();
    }
    v.state = State::Ready;
    return v;
}

}  // namespace

void add_async_lib(LibBuilder& b) {
    const TypeKey future = b.type<FutureValue>("future");

    b.add("async", {K("Function")}, [](Context& c, Args a) {
        return lib_value(FutureValue{&c, nullptr}, std::make_shared<Vector>(1, a[0]));
    });
    b.add("get", {future}, [](Context&, Args a) {
        FutureValue& v = settle(a[0]);
        v.state = FutureValue::State::Taken;
        if (v.error) std::rethrow_exception(std::exchange(v.error, nullptr));
        return std::exchange(held(a[0]), Value());
    });
    b.add("wait", {future}, [](Context&, Args a) {
        settle(a[0]);
        return Value();
    });
    b.add("valid", {future}, [](Context&, Args a) {
        return make_bool(lib_obj<FutureValue>(a[0]).state != FutureValue::State::Taken);
    });
}

}  // namespace chai
