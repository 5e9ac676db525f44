#include "chai/runtime/tracker.hpp"

#include <unordered_map>
#include <utility>

#include "chai/runtime/callable.hpp"
#include "chai/runtime/objects.hpp"

namespace chai {

TrackingScope::TrackingScope(BoxTracker* t) : saved_(swap_box_tracker(t)) {}
TrackingScope::~TrackingScope() { swap_box_tracker(saved_); }

BoxTracker::~BoxTracker() {
    for (Box* b : boxes_) b->tracker = nullptr;
}

namespace {

// Something that holds references: a box, or an object, function or range snapshot that box
// values share through shared pointers.
enum class RefKind : uint8_t { Box, Object, Function, Items };

using Items = std::shared_ptr<Vector>;

struct Ref {
    RefKind kind;
    const void* ptr;    // the Box, DynObject, Callable or Vector
    const void* owner;  // shared kinds: the shared_ptr it was reached through (to hold it later)
    long total;         // references of any origin
};

Ref ref_of(Box* b) { return {RefKind::Box, b, nullptr, static_cast<long>(b->refs)}; }
Ref ref_of(const ObjRef& o) { return {RefKind::Object, o.get(), &o, o.use_count()}; }
Ref ref_of(const FuncRef& f) { return {RefKind::Function, f.get(), &f, f.use_count()}; }
Ref ref_of(const Items& v) { return {RefKind::Items, v.get(), &v, v.use_count()}; }

// Boxes holding a number, string or the like, without attributes, cannot be part of a cycle.
bool leaf(const Box& b) { return !b.extra && !holds_boxes(b); }

// Calls visit(Ref) for every reference held directly by r (except leaf boxes); returns how many
// values it looked at.
template <class F> size_t each_ref(const Ref& r, F&& visit) {
    size_t looked = 1;
    auto visit_box = [&](const Value& v) {
        ++looked;
        Box* b = v.cell();
        if (b && !leaf(*b)) visit(ref_of(b));
    };
    auto boxes = [&](const Vector& items) {
        for (const Value& e : items) visit_box(e);
    };
    switch (r.kind) {
    case RefKind::Box: {
        const Box& b = *static_cast<const Box*>(r.ptr);
        switch (b.p.index()) {
        case P_Vector: boxes(*std::get_if<P_Vector>(&b.p)); break;
        case P_Map:
            for (const auto& kv : *std::get_if<P_Map>(&b.p)) visit_box(kv.second);
            break;
        case P_Pair: {
            const PairV& p = *std::get_if<P_Pair>(&b.p);
            visit_box(p.first);
            visit_box(p.second);
            break;
        }
        case P_Func:
            if (const FuncRef& f = *std::get_if<P_Func>(&b.p)) visit(ref_of(f));
            break;
        case P_Object:
            if (const ObjRef& o = *std::get_if<P_Object>(&b.p)) visit(ref_of(o));
            break;
        case P_Range:
            if (const Items& items = std::get_if<P_Range>(&b.p)->items) visit(ref_of(items));
            break;
        case P_Host:
            if (const Items& held = std::get_if<P_Host>(&b.p)->held) visit(ref_of(held));
            break;
        case P_Alias: visit_box(std::get_if<P_Alias>(&b.p)->to); break;
        default: break;
        }
        if (b.extra) {
            if (b.extra->attrs)
                for (const auto& kv : *b.extra->attrs) visit_box(kv.second);
            visit_box(b.extra->string);
        }
        break;
    }
    case RefKind::Object:
        for (const auto& kv : static_cast<const DynObject*>(r.ptr)->attrs) visit_box(kv.second);
        break;
    case RefKind::Function: {
        const auto* c = static_cast<const Callable*>(r.ptr);
        switch (c->type) {
        case Callable::Type::Script: boxes(static_cast<const ScriptFn*>(c)->captures); break;
        case Callable::Type::Bound:
            visit_box(static_cast<const BoundFn*>(c)->target);
            boxes(static_cast<const BoundFn*>(c)->fixed);
            break;
        case Callable::Type::Set:
            for (const FuncRef& f : static_cast<const OverloadSet*>(c)->fns)
                if (f) visit(ref_of(f));
            break;
        // Host functions are opaque: what they capture counts as held from outside.
        default: break;
        }
        break;
    }
    case RefKind::Items: boxes(*static_cast<const Vector*>(r.ptr)); break;
    }
    return looked;
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
        for (Box* b : tracked) vs_.push_back({{RefKind::Box, b, nullptr, static_cast<long>(b->refs)}});
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
            live_work_ += each_ref(r, [&](const Ref& to) {
                Vertex& v = vs_[add(to)];
                if (!v.live) {
                    v.live = true;
                    todo.push_back(static_cast<size_t>(&v - vs_.data()));
                }
            });
        }
    }

    const std::vector<Vertex>& vertices() const { return vs_; }
    // Values looked at in what is live: what the next collection will look at again.
    size_t live_work() const { return live_work_; }

private:
    // The vertex of r, added if new.
    size_t add(const Ref& r) {
        if (r.kind == RefKind::Box) {
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
    size_t live_work_ = 0;
};

// Holds the garbage while its contents are dropped, so nothing is freed half-emptied.
struct Garbage {
    std::vector<Value> boxes;
    std::vector<ObjRef> objects;
    std::vector<FuncRef> functions;
    std::vector<Items> items;

    explicit Garbage(const std::vector<Vertex>& vs) {
        for (const Vertex& v : vs) {
            if (v.live) continue;
            switch (v.ref.kind) {
            case RefKind::Box: boxes.emplace_back(static_cast<Box*>(const_cast<void*>(v.ref.ptr))); break;
            case RefKind::Object: objects.push_back(*static_cast<const ObjRef*>(v.ref.owner)); break;
            case RefKind::Function: functions.push_back(*static_cast<const FuncRef*>(v.ref.owner)); break;
            case RefKind::Items: items.push_back(*static_cast<const Items*>(v.ref.owner)); break;
            }
        }
    }

    // Moves every reference out of the garbage (into `dropped`), then releases them all.
    void empty() {
        std::vector<Payload> values;
        std::vector<std::vector<std::pair<uint32_t, Value>>> attrs;
        std::vector<Value> refs;
        std::vector<FuncRef> fns;
        std::vector<std::unique_ptr<Map>> var_attrs;
        values.reserve(boxes.size());
        attrs.reserve(objects.size());
        for (const Value& v : boxes) {
            Box* b = v.cell();
            values.push_back(std::exchange(b->p, Payload()));
            // A character reference keeps its string: the string may live on, and the link is
            // undone (the string told) only when the reference box itself goes.
            if (b->extra) var_attrs.push_back(std::move(b->extra->attrs));
        }
        for (const ObjRef& o : objects) attrs.push_back(std::exchange(o->attrs, {}));
        for (const FuncRef& f : functions) {
            // Functions are shared as const; these are unreachable, so emptying them is safe.
            auto* c = const_cast<Callable*>(f.get());
            if (c->type == Callable::Type::Script) {
                auto* s = static_cast<ScriptFn*>(c);
                for (Value& cap : s->captures) refs.push_back(std::move(cap));
                s->captures.clear();
            } else if (c->type == Callable::Type::Bound) {
                auto* bound = static_cast<BoundFn*>(c);
                refs.push_back(std::move(bound->target));
                for (Value& x : bound->fixed) refs.push_back(std::move(x));
                bound->fixed.clear();
            } else if (c->type == Callable::Type::Set) {
                auto* set = static_cast<OverloadSet*>(c);
                for (FuncRef& g : set->fns) fns.push_back(std::move(g));
                set->fns.clear();
            }
        }
        for (const Items& v : items)
            for (Value& e : *v) refs.push_back(std::move(e));
    }
};

}  // namespace

size_t BoxTracker::collect() noexcept {
    if (boxes_.empty()) return 0;
    try {
        Graph g(this, boxes_);
        g.mark_live();
        Garbage garbage(g.vertices());
        garbage.empty();
        return g.live_work();
    } catch (...) {
        // Out of memory: what was not emptied stays allocated, which is only a leak.
        return boxes_.size();
    }
}

}  // namespace chai
