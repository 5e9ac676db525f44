#include "chai/runtime/box.hpp"

#include <cstdint>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

#include "chai/runtime/tracker.hpp"

namespace chai {

// ---- allocation: freed boxes are reused while evaluations run, boxes come and go constantly ----
// Per-thread state holds no memory once the outermost evaluation has ended, and nothing here has
// a destructor: MinGW frees a thread's thread_local storage before it runs their destructors.
namespace {
struct FreeBox {
    FreeBox* next;
};
constexpr uint32_t kMaxFree = 4096;
thread_local FreeBox* t_free = nullptr;
thread_local uint32_t t_free_count = 0;
thread_local uint32_t t_evaluations = 0;  // running on this thread (nested engines count too)
thread_local BoxTracker* t_tracker = nullptr;
}  // namespace

void* Box::operator new(size_t n) {
    if (n == sizeof(Box) && t_free) {
        FreeBox* f = t_free;
        t_free = f->next;
        --t_free_count;
        return f;
    }
    return ::operator new(n);
}

void Box::operator delete(void* p) noexcept {
    if (t_evaluations && t_free_count < kMaxFree) {
        t_free = new (p) FreeBox{t_free};
        ++t_free_count;
        return;
    }
    ::operator delete(p);
}

BoxReuseScope::BoxReuseScope() { ++t_evaluations; }

BoxReuseScope::~BoxReuseScope() {
    if (--t_evaluations) return;
    while (FreeBox* f = t_free) {
        t_free = f->next;
        ::operator delete(f);
    }
    t_free_count = 0;
}

namespace {
// Unlinks a character reference from its string before the box goes.
void drop_extra(Box* b) noexcept {
    BoxExtra* x = b->extra;
    b->extra = nullptr;
    if (Box* s = x->string.box(); s && s->extra) {
        auto& refs = s->extra->char_refs;
        for (size_t i = 0; i < refs.size(); ++i)
            if (refs[i] == b) {
                refs[i] = refs.back();
                refs.pop_back();
                break;
            }
    }
    // Boxes released here (attributes, the string) are queued like nested elements.
    delete x;
}

// Frees one box; boxes its contents release meanwhile wait in the pending list.
void free_now(Box* b) noexcept {
    if (b->extra) drop_extra(b);
    delete b;
}

thread_local std::vector<Box*>* t_pending = nullptr;  // the outermost destroy_box's list
}  // namespace

void destroy_box(Box* b) noexcept {
    if (b->tracker) b->tracker->remove(b);
    // Nothing nested to release: freed right away.
    const size_t kind = b->p.index();
    if (!b->extra && (kind == P_Scalar || kind == P_String || kind == P_TypeInfo)) {
        delete b;
        return;
    }
    // Boxes released while another is destroyed wait in the outermost call's list, so that
    // freeing a long chain does not recurse once per link.
    if (t_pending) {
        try {
            t_pending->push_back(b);
            return;
        } catch (...) {
        }
        free_now(b);  // no room to wait: freed right here
        return;
    }
    std::vector<Box*> pending;
    t_pending = &pending;
    free_now(b);
    while (!pending.empty()) {
        Box* next = pending.back();
        pending.pop_back();
        free_now(next);
    }
    t_pending = nullptr;
}

BoxTracker* swap_box_tracker(BoxTracker* t) { return std::exchange(t_tracker, t); }

void track_box(Box& b) {
    if (!b.tracker && t_tracker && ((b.extra && b.extra->attrs) || holds_boxes(b))) t_tracker->add(&b);
}

Value make_boxed(Payload v, uint8_t flags) {
    Box* b = new Box(std::move(v));
    b->flags = flags;
    Value made(b);
    track_box(*b);
    return made;
}

void promote_slow(Value& slot) {
    Box* b = new Box(std::in_place_index<P_Scalar>, slot.plain());
    b->flags = slot.flags();
    slot = Value(b);
}

namespace {
// The box holding v's value on its own, for cells to share: what v's cell stands for already, or
// else v's value moved to a new box that v's cell then stands for.
Box& value_box(const Value& v) {
    Box& c = *v.cell();
    if (c.p.index() == P_Alias) return *c.target();
    Box* b = new Box(std::move(c.p));
    b->flags = c.flags & static_cast<uint8_t>(~kTemp);
    // What belongs to the value goes with it: attributes, the link to a string's character or to
    // a host object's member, the references to its own characters.
    if ((b->extra = std::exchange(c.extra, nullptr))) {
        if (Box* s = b->extra->string.box())
            for (Box*& r : s->extra->char_refs)
                if (r == &c) r = b;
        for (Box* r : b->extra->char_refs) r->extra->string = Value(b);
    }
    c.p.emplace<P_Alias>(AliasV{Value(b)});
    track_box(*b);
    track_box(c);
    return *b;
}
}  // namespace

void rebind(Value& cell, const Value& y) {
    Value value(&value_box(y));
    Box& c = *promote(cell).cell();
    if (c.target() == value.cell()) return;
    if (c.extra) {
        // References to the characters of the string the cell held keep the old text.
        for (Box* r : c.extra->char_refs) r->extra->string = Value();
        c.extra->char_refs.clear();
        drop_extra(&c);
    }
    // The old value goes once the cell is whole again (freeing it may look at the cell).
    Payload old = std::exchange(c.p, Payload(std::in_place_index<P_Alias>, AliasV{std::move(value)}));
    track_box(c);
}

Vector share_elements(Vector& v) {
    for (Value& e : v) promote(e);
    return v;
}

Map share_values(Map& m) {
    for (auto& kv : m) promote(kv.second);
    return m;
}

// ---- attributes of any value ----
Value& var_attr(Box& b, const std::string& name) {
    if (!b.extra) b.extra = new BoxExtra();
    if (!b.extra->attrs) b.extra->attrs = std::make_unique<Map>();
    track_box(b);
    Value& slot = (*b.extra->attrs)[name];
    return slot;
}

void copy_var_attrs(Box& to, Box& from, bool clone_them) {
    Map copy;
    if (from.extra && from.extra->attrs) copy = clone_them ? *from.extra->attrs : share_values(*from.extra->attrs);
    if (clone_them)
        for (auto& kv : copy) kv.second = clone(kv.second);
    if (!to.extra) to.extra = new BoxExtra();
    auto old = std::move(to.extra->attrs);
    to.extra->attrs = std::make_unique<Map>(std::move(copy));
    track_box(to);
}

// ---- references to characters and host values ----
Value make_char_ref(const Value& string_box, size_t index) {
    Box* s = string_box.box();
    const std::string& text = *std::get_if<P_String>(&s->p);
    Box* c = new Box(std::in_place_index<P_Scalar>, Value::of(text[index]));
    c->extra = new BoxExtra();
    // The string itself, not the cell it was reached through: rebinding that cell later does
    // not move the reference to another string.
    c->extra->string = Value(s);
    c->extra->index = index;
    if (!s->extra) s->extra = new BoxExtra();
    s->extra->char_refs.push_back(c);
    return Value(c);
}

Value make_host_ref(Value copy, std::function<void(const Value&)> write) {
    promote(copy);
    Box* b = copy.box();
    if (!b->extra) b->extra = new BoxExtra();
    b->extra->write = std::move(write);
    b->flags &= static_cast<uint8_t>(~kTemp);
    return copy;
}

void write_back(Box& b) {
    BoxExtra& x = *b.extra;
    if (x.write) {
        x.write(Value(&b));
        return;
    }
    Box* s = x.string.box();
    if (!s || !b.holds_scalar() || !b.scalar().is_num()) return;
    std::string* str = std::get_if<P_String>(&s->p);
    // A string that has since shrunk (or was given another value) is left alone.
    if (!str || x.index >= str->size()) return;
    std::string& text = *str;
    const char c = b.scalar().num().as<char>();
    text[x.index] = c;
    // Other live references to the same character see the change.
    if (s->extra)
        for (Box* other : s->extra->char_refs)
            if (other != &b && other->extra->index == x.index) other->scalar() = Value::of(c);
}

// ---- limits and standard texts ----
void wrong_kind(const char* wanted) { throw std::runtime_error(std::string("Value is not a ") + wanted); }

void check_string_size(size_t n) {
    if (n > kMaxStringSize) throw std::length_error("String too long");
}

void throw_vector_index(size_t n, size_t size) {
    throw std::out_of_range("vector::_M_range_check: __n (which is " + std::to_string(n) +
                            ") >= this->size() (which is " + std::to_string(size) + ")");
}

void throw_string_index(size_t n, size_t size) {
    throw std::out_of_range("basic_string::at: __n (which is " + std::to_string(n) +
                            ") >= this->size() (which is " + std::to_string(size) + ")");
}

}  // namespace chai
