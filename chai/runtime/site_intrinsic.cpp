// Library intrinsics at their sites: the same guard as the site's cache in dispatch, so the
// result is the one dispatch would give.
#include "chai/library/intrinsics.hpp"
#include "chai/runtime/interp.hpp"
#include "chai/runtime/site_intrinsic.hpp"

namespace chai {

namespace {
// The arguments have the types c was chosen for. Numbers held directly and strings, Vectors and
// Maps are checked here; any other argument has arg_tags check them all.
bool chosen_for_types(const Choice& c, Args a, const Names& names) {
    if (a.size != c.nargs) return false;
    for (size_t i = 0; i < a.size; ++i) {
        const Value& v = a[i];
        uint32_t tag;
        if (v.tag() == Tag::Num) {
            tag = number_tag(v.imm().kind);
        } else if (const Box* b = v.box(); b && b->p.index() >= P_String && b->p.index() <= P_Map) {
            tag = payload_tag(b->p.index());
        } else {
            uint32_t tags[Choice::kMaxArgs];
            return arg_tags(a, names, tags) && chose_for(c, tags, a.size);
        }
        if (tag != c.tags[i]) return false;
    }
    return true;
}
}  // namespace

Value Interp::site_intrinsic(const Node* n, const Callable& f, Args a) {
    if (n->kind == NK::Call) {
        // A variable of the called name is what a named call calls.
        if (!names_no_variable(n->first) && var_slot(n->first)) return Value::unset();
    }
    if (!chosen_for_types(n->site->choice, a, syms_->names())) return Value::unset();
    try {
        return run_intrinsic(*this, f.intrinsic, f.converts_to, a);
    } catch (const exception::detail_numeric_error& e) {
        fail(n, e.reason);
    }
}

}  // namespace chai
