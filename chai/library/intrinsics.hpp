// The library functions that call, method and operator sites run directly (see Intrinsic):
// number conversions, text of a value, sizes, appending to a Vector, joining and comparing
// strings. Inline, so that a site runs them without a further call; the library's functions run
// the same code.
#pragma once
#include "chai/library/library.hpp"

namespace chai {

// l + r; out of line, so that run_intrinsic stays small at the sites it is inlined into.
Value join_strings(const std::string& l, const std::string& r);
// l + r made in the box of whichever of them sole_fresh_string finds (which must be one), taken
// from its Value: the same string, without a box and a copy of its own.
Value join_strings_into(Value& l, Value& r);

// An intrinsic's work (to: Convert's kind) on arguments of the types its function takes; unset:
// declined, as the function would.
[[gnu::always_inline]] inline Value run_intrinsic(Context& c, Intrinsic id, NumKind to, Args a) {
    switch (id) {
    case Intrinsic::Convert: {
        return make_num(num_convert_quick(a[0].num(), to));
    }
    case Intrinsic::ToString: {
        bool ok = false;
        std::string s = value_text(c, a[0], ok);
        return ok ? make_str(std::move(s)) : declined();
    }
    case Intrinsic::VectorSize: return num_value(static_cast<uint64_t>(a[0].vec()->size()));
    case Intrinsic::StringSize: return num_value(static_cast<uint64_t>(a[0].str()->size()));
    case Intrinsic::MapSize: return num_value(static_cast<uint64_t>(a[0].map()->size()));
    case Intrinsic::VectorPushBack: {
        Vector* v = changeable_vec(a[0]);
        if (!v) return declined();
        v->push_back(clone(a[1]));
        return Value();
    }
    case Intrinsic::StringJoin: return join_strings(*a[0].str(), *a[1].str());
    case Intrinsic::StringEq: return make_bool(*a[0].str() == *a[1].str());
    case Intrinsic::StringNe: return make_bool(*a[0].str() != *a[1].str());
    case Intrinsic::None: break;
    }
    return declined();
}

}  // namespace chai
