// Making boxes, sharing slots, and the copies that declarations and containers take.
#pragma once
#include <functional>
#include <string>

#include "chai/runtime/value.hpp"

namespace chai {

// Rare extras of a box (see value.hpp).
struct BoxExtra {
    std::unique_ptr<Map> attrs;  // get_var_attr
    // A character of a string held by reference (var &c = s[i]): its string box and index.
    Value string;
    size_t index = 0;
    // Boxes that are references to characters of this string (kept in sync when one changes).
    std::vector<Box*> char_refs;
    // A host number, bool or string read by reference (a data member): writes the value back.
    std::function<void(const Value&)> write;
};

// Boxes made on this thread that can hold other boxes are tracked by this engine's tracker
// (null: none); returns the previous one. See tracker.hpp.
BoxTracker* swap_box_tracker(BoxTracker* t);
// Tracks an existing box too (it was assigned a container, gained attributes, or an engine was
// handed it), if it can hold other boxes and no engine tracks it yet.
void track_box(Box& b);

// A fresh box holding v, tracked for cycles when it can hold other boxes.
Value make_boxed(Payload v, uint8_t flags = kTemp);
// The same, with the value of kind I built from x right in the box (no Payload moved around).
template <size_t I, class T> Value make_box(T&& x, uint8_t flags = kTemp) {
    Box* b = new Box(std::in_place_index<I>, std::forward<T>(x));
    b->flags = flags;
    Value v(b);
    if (holds_boxes(I) || I == P_Host) track_box(*b);
    return v;
}
// (A string handed over goes straight into the box: no copy of it moved on the way.)
inline Value make_str(std::string&& s) { return make_box<P_String>(std::move(s)); }
inline Value make_str(const std::string& s) { return make_box<P_String>(s); }
inline Value make_vec(Vector v) { return make_box<P_Vector>(std::move(v)); }
inline Value make_map(Map m) { return make_box<P_Map>(std::move(m)); }
inline Value make_func(FuncRef f) { return make_box<P_Func>(std::move(f)); }
inline Value make_error(ErrorV e) { return make_box<P_Error>(std::move(e)); }
inline Value make_type_info(TypeInfoV t) { return make_box<P_TypeInfo>(std::move(t)); }
inline Value make_bool(bool b) { return Value::boolean(b, kTemp); }
template <class T> Value num_value(T x) { return Value::of(x, kTemp); }
inline Value make_num(const Number& n) { return Value::number(n, kTemp); }
// Result of an operator: a read-only temporary (assigning to `a + b` fails).
inline Value make_num_result(const Number& n) { return Value::number(n, kConst | kTemp); }

// A fresh string (an operation's result) that v alone holds: changing it in place changes nothing
// anyone else can see.
inline bool sole_fresh_string(const Value& v) {
    const Box* b = v.cell();
    return b && b->refs == 1 && b->flags == kTemp && !b->extra && b->p.index() == P_String;
}

// Makes the immediate in `slot` a box (shared from now on) and returns the slot.
void promote_slow(Value& slot);
inline Value& promote(Value& slot) {
    if (!slot.boxed()) promote_slow(slot);
    return slot;
}

// x := y: the cell `cell` (a variable, element or attribute; promoted if need be) holds y's value
// from now on, shared with y and every other cell holding it, whoever else holds the cell.
void rebind(Value& cell, const Value& y);

// The value a declaration stores from v: an immediate as it is, a fresh box taken over, any
// other box copied (containers keep sharing their elements). False when v cannot be copied (a
// host object without copy constructor). In copy.cpp.
bool copy_for_store(const Value& v, Value& out);
// A copy of a boxed v that is never v's own box; uncopyable host objects are shared.
Value clone_boxed(const Value& v);
// A copy that is never v's own box (push_back, clone); inline, as values held directly need
// no copy operation.
inline Value clone(const Value& v) { return v.boxed() ? clone_boxed(v) : v.plain(); }
// The elements of a container copy: the same element boxes (so in-place changes are shared).
Vector share_elements(Vector& v);
Map share_values(Map& m);

// While one lives on a thread, boxes freed there are kept for reuse; when the outermost one
// ends they go back to the heap.
class BoxReuseScope {
public:
    BoxReuseScope();
    ~BoxReuseScope();
    BoxReuseScope(const BoxReuseScope&) = delete;
    BoxReuseScope& operator=(const BoxReuseScope&) = delete;
};

// Attributes of any value's box (get_var_attr and friends).
Value& var_attr(Box& b, const std::string& name);
void copy_var_attrs(Box& to, Box& from, bool clone_them);

// A character of a string box held by reference; index must be inside the string.
Value make_char_ref(const Value& string_box, size_t index);
// A copy of a host number, bool or string whose changes are written back to the C++ object.
Value make_host_ref(Value copy, std::function<void(const Value&)> write);
// After a change in place: a linked box writes its value back (to its string or host object).
void write_back(Box& b);
inline void written(Box* b) {
    if (b && b->extra) write_back(*b);
}

// Longest string scripts may build; longer results raise std::length_error.
constexpr size_t kMaxStringSize = size_t(1) << 28;
void check_string_size(size_t n);
// Index past the end of a Vector or string: the standard library's own out_of_range texts.
[[noreturn]] void throw_vector_index(size_t n, size_t size);
[[noreturn]] void throw_string_index(size_t n, size_t size);

}  // namespace chai
