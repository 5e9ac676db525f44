// Library intrinsics run at their call and method sites: once dispatch has chosen one for a
// site, later calls with arguments of the same types run it directly.
#pragma once
#include "chai/runtime/interp.hpp"
#include "chai/runtime/names.hpp"
#include "chai/runtime/program.hpp"

namespace chai {

// The most arguments (a method's object included) a site runs an intrinsic with.
constexpr size_t kIntrinsicArgs = 2;

// A site's arguments as eval_arg gives them, made in place on the C++ stack.
template <size_t N> class SiteArgs {
public:
    SiteArgs() = default;
    SiteArgs(const SiteArgs&) = delete;
    SiteArgs& operator=(const SiteArgs&) = delete;
    ~SiteArgs() {
        for (size_t i = 0; i < n_; ++i) data()[i].~Arg();
    }
    template <class Make> void add(Make&& make) {
        new (data() + n_) Arg(make());
        ++n_;
    }
    Args args() { return Args{data(), n_}; }

private:
    Arg* data() { return reinterpret_cast<Arg*>(raw_); }
    alignas(Arg) unsigned char raw_[N * sizeof(Arg)];
    size_t n_ = 0;
};

// Whether what site c chose still holds for sym's functions and the engine's conversions (epoch).
inline bool choice_holds(const SiteCache& c, const Symbol& sym, uint32_t epoch) {
    return c.sym == &sym && c.version == sym.version && c.epoch == epoch;
}
// The intrinsic a site chose last time, while that choice holds for sym's functions and the
// engine's conversions (its arguments are checked by Interp::intrinsic_site); null otherwise.
inline const Callable* cached_intrinsic(const SiteCache* c, const Symbol& sym, uint32_t epoch) {
    if (!c || !choice_holds(*c, sym, epoch)) return nullptr;
    const Callable* f = c->choice.fn;
    return f && f->intrinsic != Intrinsic::None ? f : nullptr;
}

}  // namespace chai
