// Library intrinsics run at their call and method sites: once dispatch has chosen one for a
// site, later calls with arguments of the same types run it directly.
#pragma once
#include "chai/runtime/names.hpp"
#include "chai/runtime/program.hpp"

namespace chai {

// The most arguments (a method's object included) a site runs an intrinsic with.
constexpr size_t kIntrinsicArgs = 2;

// The intrinsic a site chose last time, while that choice holds for sym's functions and the
// engine's conversions (its arguments are checked by Interp::intrinsic_site); null otherwise.
inline const Callable* cached_intrinsic(const SiteCache* c, const Symbol& sym, uint32_t epoch) {
    if (!c || c->sym != &sym || c->version != sym.version || c->epoch != epoch) return nullptr;
    const Callable* f = c->choice.fn;
    return f && f->intrinsic != Intrinsic::None ? f : nullptr;
}

}  // namespace chai
