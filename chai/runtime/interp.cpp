#include "chai/runtime/interp.hpp"

#include <algorithm>
#include <exception>

#include "chai/stack/stack.hpp"

namespace chai {

Interp::Interp(const LibraryTable& lib, const HostRegistry& lib_types)
    : syms_(std::make_shared<Symbols>(lib)), reg_(&lib_types) {
    // `_` marks an open argument for bind().
    Value placeholder = make_type_info({"_", false, false});
    placeholder.set_flags(kConst);
    syms_->at(kIdPlaceholder).global = placeholder;
    no_value_.set_flags(kConst);
    s_to_string_ = &syms_->at(kIdToString);
    s_assign_ = &syms_->at(kIdAssign);
    s_index_ = &syms_->at(kIdIndex);
    s_eq_ = &syms_->at(kIdEq);
    s_method_missing_ = &syms_->at(kIdMethodMissing);
}

Interp::~Interp() {
    // Drop everything the engine holds, then free the cycles left among the values it made.
    ret_ = Value();
    syms_->clear();
    retired_programs_.clear();
    script_conversions_.clear();
    tracker.collect();
}

void Interp::count_step_apart(const Node* site) { count_step(site); }

void Interp::depth_exceeded(const Node* site) { fail(site, kDepthExceeded); }

void Interp::collect_cycles() {
    // A host object's destructor, run by the collector, may call back into the engine.
    if (collecting_) return;
    collecting_ = true;
    const size_t work = tracker.collect();
    collecting_ = false;
    collect_at_ = tracker.size() + (collect_interval_ ? collect_interval_ : std::max(kCollectMin, work));
    set_call_check();
}

Value Interp::enter_new(Value (*body)(void*), void* fn) {
    // Engines kept for many evaluations free their cycles between runs as well.
    if (tracker.size() >= collect_at_) collect_cycles();
    steps_ = 0;
    ctl_ = Ctl::None;
    struct Call {
        Value (*body)(void*);
        void* fn;
        Interp* in;
        Value result;
        std::exception_ptr error;
        bool deep = false;
    } call{body, fn, this, Value(), nullptr};
    run_on_engine_stack(
        [](void* p) {
            Call& c = *static_cast<Call*>(p);
            Interp& in = *c.in;
            char top = 0;
            BoxReuseScope reuse;
            TrackingScope tracking(&in.tracker);
            in.stack_limit_ = engine_stack_limit();
            ++in.running_depth_;
            try {
                try {
                    c.result = c.body(c.fn);
                } catch (const LoopJump& j) {
                    in.outside_loop(j.ctl);  // a script function the host called
                }
            } catch (...) {
                c.error = std::current_exception();
            }
            --in.running_depth_;
            const auto here = reinterpret_cast<uintptr_t>(&top);
            c.deep = here > in.low_water_ && here - in.low_water_ > (uintptr_t(8) << 20);
            in.ctl_ = Ctl::None;
            in.frame_ = nullptr;
            in.retired_programs_.clear();
            in.low_water_ = UINTPTR_MAX;
            in.stack_limit_ = 0;
        },
        &call);
    // A deep recursion left much stack memory touched: give it back.
    if (call.deep) trim_engine_stack();
    if (call.error) std::rethrow_exception(call.error);
    return std::move(call.result);
}

// ---- globals ----

void Interp::add_global(const std::string& name, Value v) {
    Value& g = syms_->of(name).global;
    if (!g.is_unset()) throw exception::name_conflict_error(name);
    g = std::move(v);
}

void Interp::set_global(const std::string& name, Value v) {
    Value& g = syms_->of(name).global;
    if (!g.is_unset() && g.is_const()) throw std::runtime_error("Cannot replace constant global " + name);
    g = std::move(v);
}

}  // namespace chai
