// async(f): a future of a script function's result.
//
// Boxes are reference counted without atomics and the evaluator keeps its state in the engine,
// so a second thread may never evaluate while the owner does. The function therefore runs
// deferred: on the first get() or wait(), on the thread that asks, inside the engine that is
// already evaluating that call. Scripts keep the future interface; the host keeps its safety.
#include <future>

#include "chai/stdlib.hpp"

namespace chai {

namespace {

struct FutureValue {
    std::shared_ptr<std::future<BoxRef>> f;
};

std::future<BoxRef>& usable(const BoxRef& b) {
    std::future<BoxRef>& f = *lib_obj<FutureValue>(b).f;
    if (!f.valid()) throw std::future_error(std::future_errc::no_state);
    return f;
}

}  // namespace

void add_async_lib(LibBuilder& b) {
    const TypeKey future = lib_type<FutureValue>("future");

    b.add("async", {K("Function")}, [](Interp& in, Args a) {
        BoxRef fn = a[0];
        Interp* engine = &in;
        auto f = std::make_shared<std::future<BoxRef>>(std::async(std::launch::deferred, [engine, fn] {
            return engine->call_value(fn, Args{}, nullptr);
        }));
        return lib_box(FutureValue{std::move(f)});
    });
    b.add("get", {future}, [](Interp&, Args a) { return usable(a[0]).get(); });
    b.add("wait", {future}, [](Interp&, Args a) {
        usable(a[0]).wait();
        return undef();
    });
    b.add("valid", {future}, [](Interp&, Args a) { return make_bool(lib_obj<FutureValue>(a[0]).f->valid()); });
}

}  // namespace chai
