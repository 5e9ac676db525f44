#include "chai/runtime/collect.hpp"

#include <unordered_map>
#include <utility>

#include "chai/runtime/interp.hpp"
#include "chai/runtime/var_attrs.hpp"

namespace chai {

TrackingScope::TrackingScope(BoxTracker* t) : saved_(swap_box_tracker(t)) {}
TrackingScope::~TrackingScope() { swap_box_tracker(saved_); }

BoxTracker::~BoxTracker() {
    for (Box* b : boxes_) b->tracker = nullptr;
}

namespace {

// Something that holds references: a box, or an object, function or range snapshot that box
// values share through shared pointers.
enum class Kind : uint8_t { Box, Object, Function, Items };

using Items = std::shared_ptr<Vector>;

struct Ref {
    Kind kind;
    const void* ptr;    // the Box, DynObject, Callable or Vector
    const void* owner;  // shared kinds: the shared_ptr it was reached through (to hold it later)
    long total;         // references of any origin
};

Ref ref_of(const BoxRef& b) { return {Kind::Box, b.get(), nullptr, static_cast<long>(b->refs)}; }
Ref ref_of(const ObjRef& o) { return {Kind::Object, o.get(), &o, o.use_count()}; }
Ref ref_of(const FuncRef& f) { return {Kind::Function, f.get(), &f, f.use_count()}; }
Ref ref_of(const Items& v) { return {Kind::Items, v.get(), &v, v.use_count()}; }

// Boxes holding a number, string or the like, without attributes, cannot be part of a cycle.
bool leaf(const Box& b) { return !b.has_attrs && !holds_boxes(b.v.index()); }

// Calls visit(Ref) for every reference held directly by r (except leaf boxes).
template <class F> void each_ref(const Ref& r, F&& visit) {
    auto visit_box = [&](const BoxRef& b) {
        if (b && !leaf(*b)) visit(ref_of(b));
    };
    auto boxes = [&](const Vector& items) {
        for (const BoxRef& e : items) visit_box(e);
    };
    switch (r.kind) {
    case Kind::Box: {
        const Box& b = *static_cast<const Box*>(r.ptr);
        switch (b.idx()) {
        case V_Vector: boxes(std::get<Vector>(b.v)); break;
        case V_Map:
            for (const auto& kv : std::get<Map>(b.v)) visit_box(kv.second);
            break;
        case V_Pair: {
            const PairV& p = std::get<PairV>(b.v);
            visit_box(p.first);
            visit_box(p.second);
            break;
        }
        case V_Func:
            if (const FuncRef& f = std::get<FuncRef>(b.v)) visit(ref_of(f));
            break;
        case V_Object:
            if (const ObjRef& o = std::get<ObjRef>(b.v)) visit(ref_of(o));
            break;
        case V_Range:
            if (const Items& items = std::get<RangeV>(b.v).items) visit(ref_of(items));
            break;
        default: break;
        }
        if (b.has_attrs) for_each_var_attr(b, visit_box);
        break;
    }
    case Kind::Object:
        for (const auto& kv : static_cast<const DynObject*>(r.ptr)->attrs) visit_box(kv.second);
        break;
    case Kind::Function: {
        const auto* c = static_cast<const Callable*>(r.ptr);
        if (const auto* s = dynamic_cast<const ScriptFn*>(c)) {
            for (const auto& cap : s->captures) visit_box(cap.second);
        } else if (const auto* bound = dynamic_cast<const BoundFn*>(c)) {
            visit_box(bound->target);
            boxes(bound->fixed);
        } else if (const auto* set = dynamic_cast<const OverloadSet*>(c)) {
            for (const FuncRef& f : set->fns)
                if (f) visit(ref_of(f));
        }
        // Host functions are opaque: what they capture counts as held from outside.
        break;
    }
    case Kind::Items: boxes(*static_cast<const Vector*>(r.ptr)); break;
    }
}

struct Vertex {
    Ref ref;
    long inner = 0;  // references coming from other vertices
    bool live = false;
};

// Everything reachable from the tracked boxes, with the references each receives from the rest.
class Graph {
public:
    // Tracked boxes come first, at their tracking slot, so finding them needs no lookup.
    Graph(const BoxTracker* tracker, const std::vector<Box*>& tracked) : tracker_(tracker) {
        vs_.reserve(tracked.size());
        for (Box* b : tracked) vs_.push_back({{Kind::Box, b, nullptr, static_cast<long>(b->refs)}});
        for (size_t i = 0; i < vs_.size(); ++i) {
            Ref r = vs_[i].ref;  // vs_ grows while visiting
            each_ref(r, [&](const Ref& to) { ++vs_[add(to)].inner; });
        }
    }

    // Marks what references from outside the graph keep alive.
    void mark_live() {
        std::vector<size_t> todo;
        for (size_t i = 0; i < vs_.size(); ++i)
            if (vs_[i].ref.total > vs_[i].inner) {
                vs_[i].live = true;
                todo.push_back(i);
            }
        while (!todo.empty()) {
            Ref r = vs_[todo.back()].ref;
            todo.pop_back();
            each_ref(r, [&](const Ref& to) {
                Vertex& v = vs_[add(to)];
                if (!v.live) {
                    v.live = true;
                    todo.push_back(static_cast<size_t>(&v - vs_.data()));
                }
            });
        }
    }

    const std::vector<Vertex>& vertices() const { return vs_; }

private:
    // The vertex of r, added if new.
    size_t add(const Ref& r) {
        if (r.kind == Kind::Box) {
            const Box* b = static_cast<const Box*>(r.ptr);
            if (b->tracker == tracker_) return b->track_slot;
        }
        auto [it, fresh] = at_.emplace(r.ptr, vs_.size());
        if (fresh) vs_.push_back({r});
        return it->second;
    }

    const BoxTracker* tracker_;
    std::vector<Vertex> vs_;
    std::unordered_map<const void*, size_t> at_;
};

// Holds the garbage while its contents are dropped, so nothing is freed half-emptied.
struct Garbage {
    std::vector<BoxRef> boxes;
    std::vector<ObjRef> objects;
    std::vector<FuncRef> functions;
    std::vector<Items> items;

    explicit Garbage(const std::vector<Vertex>& vs) {
        for (const Vertex& v : vs) {
            if (v.live) continue;
            switch (v.ref.kind) {
            case Kind::Box: boxes.emplace_back(static_cast<Box*>(const_cast<void*>(v.ref.ptr))); break;
            case Kind::Object: objects.push_back(*static_cast<const ObjRef*>(v.ref.owner)); break;
            case Kind::Function: functions.push_back(*static_cast<const FuncRef*>(v.ref.owner)); break;
            case Kind::Items: items.push_back(*static_cast<const Items*>(v.ref.owner)); break;
            }
        }
    }

    // Moves every reference out of the garbage (into `dropped`), then releases them all.
    void empty() {
        std::vector<Value> values;
        std::vector<std::map<std::string, BoxRef>> attrs;
        std::vector<BoxRef> refs;
        std::vector<FuncRef> fns;
        values.reserve(boxes.size());
        attrs.reserve(objects.size());
        for (const BoxRef& b : boxes) {
            values.push_back(std::exchange(b->v, Value()));
            if (b->has_attrs) drop_var_attrs(b.get());
        }
        for (const ObjRef& o : objects) attrs.push_back(std::exchange(o->attrs, {}));
        for (const FuncRef& f : functions) {
            // Functions are shared as const; these are unreachable, so emptying them is safe.
            auto* c = const_cast<Callable*>(f.get());
            if (auto* s = dynamic_cast<ScriptFn*>(c)) {
                for (auto& cap : s->captures) refs.push_back(std::move(cap.second));
                s->captures.clear();
            } else if (auto* bound = dynamic_cast<BoundFn*>(c)) {
                refs.push_back(std::move(bound->target));
                for (BoxRef& x : bound->fixed) refs.push_back(std::move(x));
                bound->fixed.clear();
            } else if (auto* set = dynamic_cast<OverloadSet*>(c)) {
                for (FuncRef& g : set->fns) fns.push_back(std::move(g));
                set->fns.clear();
            }
        }
        for (const Items& v : items)
            for (BoxRef& e : *v) refs.push_back(std::move(e));
    }
};

}  // namespace

void BoxTracker::collect() noexcept {
    if (boxes_.empty()) return;
    try {
        Graph g(this, boxes_);
        g.mark_live();
        Garbage garbage(g.vertices());
        garbage.empty();
    } catch (...) {
        // Out of memory: what was not emptied stays allocated, which is only a leak.
    }
}

}  // namespace chai
