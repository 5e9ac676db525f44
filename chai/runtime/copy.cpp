// The copies that declarations and containers take: containers share their elements, objects
// copy their attributes, host objects use their copy constructor.
#include <unordered_map>
#include <utility>
#include <vector>

#include "chai/runtime/box.hpp"
#include "chai/runtime/objects.hpp"

namespace chai {

namespace {

// One copy operation. An object's attributes are copied, objects among them too; each object
// reached is copied once, so parts the original shares (or objects referring back to each other)
// are shared and refer back among the copies the same way. Objects are filled from a work list:
// the work follows the number of objects reached and nothing recurses, however deep they nest.
class ObjectCopy {
public:
    ObjectCopy() = default;
    ObjectCopy(const ObjectCopy&) = delete;
    ObjectCopy& operator=(const ObjectCopy&) = delete;

    // The copy of v; a host object without copy constructor is shared.
    Value value(const Value& v) {
        Box* b = v.box();
        if (!b) return v.plain();
        if (b->holds_scalar()) return b->scalar().plain();
        Payload p;
        if (!payload(*b, p)) return v;
        return make_boxed(std::move(p), 0);
    }

    // What a copy of `from` holds; false when it cannot be copied (a host object without copy
    // constructor).
    bool payload(Box& from, Payload& to) {
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
        case P_Object: to.emplace<P_Object>(object(*std::get_if<P_Object>(&from.p))); return true;
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

    // Fills the attributes of the objects copied so far (and of those they lead to).
    void finish() {
        while (!todo_.empty()) {
            const std::pair<ObjRef, ObjRef> next = std::move(todo_.back());
            todo_.pop_back();
            const DynObject& from = *next.first;
            DynObject& to = *next.second;
            to.attrs.reserve(from.attrs.size());
            for (const auto& [id, v] : from.attrs) to.add(id, value(v));
        }
    }

private:
    // The copy of o, made empty on first sight; its attributes follow in finish().
    ObjRef object(const ObjRef& o) {
        auto [at, fresh] = copies_.try_emplace(o.get());
        if (!fresh) return at->second;
        auto c = std::make_shared<DynObject>(o->names, o->cls);
        c->is_explicit = o->is_explicit;
        at->second = c;
        todo_.emplace_back(o, c);
        return c;
    }

    std::unordered_map<const DynObject*, ObjRef> copies_;
    std::vector<std::pair<ObjRef, ObjRef>> todo_;  // originals held until their copies are filled
};

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
    ObjectCopy copy;
    Payload p;
    if (!copy.payload(*b, p)) return false;
    Value made = make_boxed(std::move(p), 0);
    // out may be an attribute of the object being copied (o.me = o): set when the copy is whole.
    copy.finish();
    out = std::move(made);
    return true;
}

Value clone_boxed(const Value& v) {
    ObjectCopy copy;
    Value c = copy.value(v);
    copy.finish();
    return c;
}

}  // namespace chai
