// The copies that declarations and containers take: containers share their elements, objects
// copy their attributes, host objects use their copy constructor.
#include "chai/runtime/box.hpp"
#include "chai/runtime/objects.hpp"

namespace chai {

namespace {
// Objects nested (or looped) through attributes are shared below a fixed depth.
thread_local int t_copy_depth = 0;

bool copy_payload(Box& from, Payload& to) {
    switch (from.p.index()) {
    case P_Vector: to.emplace<P_Vector>(share_elements(*std::get_if<P_Vector>(&from.p))); return true;
    case P_Map: to.emplace<P_Map>(share_values(*std::get_if<P_Map>(&from.p))); return true;
    case P_Pair: {
        PairV& p = *std::get_if<P_Pair>(&from.p);
        promote(p.first);
        promote(p.second);
        to.emplace<P_Pair>(p);
        return true;
    }
    case P_Object: {
        const ObjRef& o = *std::get_if<P_Object>(&from.p);
        if (t_copy_depth > 64) {
            to.emplace<P_Object>(o);
            return true;
        }
        ++t_copy_depth;
        auto c = std::make_shared<DynObject>(o->names, o->cls);
        c->is_explicit = o->is_explicit;
        c->attrs.reserve(o->attrs.size());
        for (const auto& [id, v] : o->attrs) c->attrs.emplace_back(id, clone(v));
        --t_copy_depth;
        to.emplace<P_Object>(std::move(c));
        return true;
    }
    case P_Host: {
        const HostObj& h = *std::get_if<P_Host>(&from.p);
        if (!h.type->copy) return false;
        to.emplace<P_Host>(HostObj{h.type, h.type->copy(h.ptr.get()), h.held});
        return true;
    }
    case P_Scalar: to.emplace<P_Scalar>(from.scalar().plain()); return true;
    default: to = from.p; return true;
    }
}
}  // namespace

bool copy_for_store(const Value& v, Value& out) {
    Box* b = v.box();
    if (!b) {
        out = v.plain();
        return true;
    }
    if (b->holds_scalar()) {
        out = b->scalar().plain();
        return true;
    }
    if ((b->flags & kTemp) && b->refs == 1) {
        b->flags &= static_cast<uint8_t>(~(kTemp | kConst));
        out = v;
        return true;
    }
    Payload p;
    if (!copy_payload(*b, p)) return false;
    out = make_boxed(std::move(p), 0);
    return true;
}

Value clone(const Value& v) {
    Box* b = v.box();
    if (!b) return v.plain();
    if (b->holds_scalar()) return b->scalar().plain();
    Payload p;
    if (!copy_payload(*b, p)) return v;
    return make_boxed(std::move(p), 0);
}

}  // namespace chai
