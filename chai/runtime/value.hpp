// Boxed script values. Variables, elements, attributes and parameters hold references to
// boxes and may share one; that sharing is what gives the language its reference semantics.
#pragma once
#include <cstdint>
#include <exception>
#include <map>
#include <memory>
#include <string>
#include <typeinfo>
#include <utility>
#include <variant>
#include <vector>

#include "chai/errors.hpp"
#include "chai/runtime/number.hpp"

namespace chai {

struct Box;
class Interp;
class BoxTracker;
// Frees a box without recursing through nested containers (deep structures cannot overflow).
void destroy_box(Box* b) noexcept;
struct Callable;

// Intrusive, single-threaded reference to a box: boxes never leave their engine.
class BoxRef {
public:
    BoxRef() = default;
    explicit BoxRef(Box* b);
    BoxRef(const BoxRef& o);
    BoxRef(BoxRef&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    BoxRef& operator=(const BoxRef& o);
    BoxRef& operator=(BoxRef&& o) noexcept;
    ~BoxRef();

    Box* get() const { return p_; }
    Box* operator->() const { return p_; }
    Box& operator*() const { return *p_; }
    explicit operator bool() const { return p_ != nullptr; }
    bool operator==(const BoxRef& o) const { return p_ == o.p_; }

private:
    Box* p_ = nullptr;
};

using Vector = std::vector<BoxRef>;
using Map = std::map<std::string, BoxRef>;

struct PairV {
    BoxRef first, second;
    bool map_pair = false;
};

struct DynObject {
    std::string cls;
    std::map<std::string, BoxRef> attrs;
    bool is_explicit = false;
};

// Registered host type description (shared, immutable after registration).
struct HostType {
    const std::type_info* type = nullptr;
    std::string name;
    // Copies the object for clones; null when the type cannot be copied.
    std::shared_ptr<void> (*copy)(const void*) = nullptr;
};

struct HostObj {
    const std::type_info* type = nullptr;
    std::shared_ptr<void> ptr;
};

// An exception value seen by scripts (host/library errors, eval errors from eval()). Held through
// a pointer: errors are rare, and every box is as large as the largest value kind.
class ErrorV {
public:
    ErrorV(std::string type_name, std::string what, std::shared_ptr<const exception::eval_error> eval = {},
           bool range_error = false)
        : info_(std::make_shared<const Info>(
              Info{std::move(type_name), std::move(what), std::move(eval), range_error})) {}
    // runtime_error, out_of_range, exception, eval_error
    const std::string& type_name() const { return info_->type_name; }
    const std::string& what() const { return info_->what; }
    // eval_error only (reason, call stack)
    const std::shared_ptr<const exception::eval_error>& eval() const { return info_->eval; }
    // A std::range_error: named as the runtime_error it derives from, still caught as range_error.
    bool range_error() const { return info_->range_error; }

private:
    struct Info {
        std::string type_name, what;
        std::shared_ptr<const exception::eval_error> eval;
        bool range_error;
    };
    std::shared_ptr<const Info> info_;
};

// A view over a snapshot of a container's element boxes.
struct RangeV {
    std::shared_ptr<Vector> items;
    size_t begin = 0, end = 0;
};

struct TypeInfoV {
    std::string name;
    bool arithmetic = false;
    bool undef = false;
};

using FuncRef = std::shared_ptr<const Callable>;
using ObjRef = std::shared_ptr<DynObject>;

using Value = std::variant<std::monostate, bool, Number, std::string, Vector, Map, PairV, FuncRef, ObjRef,
                           HostObj, ErrorV, RangeV, TypeInfoV>;

enum VIdx : uint8_t { V_Undef, V_Bool, V_Number, V_String, V_Vector, V_Map, V_Pair, V_Func, V_Object, V_Host,
                      V_Error, V_Range, V_TypeInfo };

struct Box {
    uint32_t refs = 0;
    bool is_const = false;
    bool is_temp = false;  // fresh result: may be adopted instead of cloned
    bool has_attrs = false;  // has attributes set through get_var_attr (see var_attrs.hpp)
    bool char_ref = false;   // a character of a string, written back on change (see char_ref.hpp)
    uint32_t track_slot = 0;
    // Engine that may have to break cycles through this box (see collect.hpp); null for plain
    // values and boxes made outside an engine run.
    BoxTracker* tracker = nullptr;
    Value v;

    Box() = default;
    explicit Box(Value val) : v(std::move(val)) {}
    template <size_t I, class T> Box(std::in_place_index_t<I> i, T&& t) : v(i, std::forward<T>(t)) {}

    VIdx idx() const { return static_cast<VIdx>(v.index()); }
    bool undef() const { return v.index() == V_Undef; }
    bool is_num() const { return v.index() == V_Number; }
    Number& num() { return *std::get_if<Number>(&v); }
    const Number& num() const { return *std::get_if<Number>(&v); }

    static void* operator new(size_t n);
    static void operator delete(void* p) noexcept;
};

// Values that hold other boxes (elements, attributes, captures), so can be part of a cycle.
inline bool holds_boxes(size_t idx) { return (idx >= V_Vector && idx <= V_Object) || idx == V_Range; }

inline BoxRef::BoxRef(Box* b) : p_(b) { if (p_) ++p_->refs; }
inline BoxRef::BoxRef(const BoxRef& o) : p_(o.p_) { if (p_) ++p_->refs; }
inline BoxRef& BoxRef::operator=(const BoxRef& o) {
    if (o.p_) ++o.p_->refs;
    Box* old = p_;
    p_ = o.p_;
    if (old && --old->refs == 0) destroy_box(old);
    return *this;
}
inline BoxRef& BoxRef::operator=(BoxRef&& o) noexcept {
    if (this != &o) {
        Box* old = p_;
        p_ = o.p_;
        o.p_ = nullptr;
        if (old && --old->refs == 0) destroy_box(old);
    }
    return *this;
}
inline BoxRef::~BoxRef() {
    if (p_ && --p_->refs == 0) destroy_box(p_);
}

// Longest string scripts may build; longer results raise std::length_error.
constexpr size_t kMaxStringSize = size_t(1) << 28;
void check_string_size(size_t n);

// Index past the end of a Vector or string: the standard library's own out_of_range texts.
[[noreturn]] void throw_vector_index(size_t n, size_t size);
[[noreturn]] void throw_string_index(size_t n, size_t size);

// Fresh boxes.
BoxRef make_box(Value v, bool temp = true);
inline BoxRef make_num(Number n) {
    BoxRef b(new Box(std::in_place_index<V_Number>, n));
    b->is_temp = true;
    return b;
}
template <class T> BoxRef num_box(T v) { return make_num(Number::make(v)); }
// Result of an operator on numbers: a read-only temporary (assigning to `a + b` fails).
inline BoxRef make_num_result(Number n) {
    BoxRef b = make_num(n);
    b->is_const = true;
    return b;
}
inline BoxRef make_bool(bool v) {
    BoxRef b(new Box(std::in_place_index<V_Bool>, v));
    b->is_temp = true;
    return b;
}
// Boxes made on this thread that can refer to others are tracked by the given engine tracker
// (null: none); returns the previous one. See collect.hpp.
BoxTracker* swap_box_tracker(BoxTracker* t);
// Tracks an existing box too (it was assigned a value, gained attributes, or an engine was
// handed it), if it can refer to other boxes and no engine tracks it yet.
void track_box(Box& b);

inline BoxRef make_str(std::string s) { return make_box(Value(std::move(s))); }
// Not tracked: an undefined box is tracked once it is assigned a value (see track_box).
inline BoxRef make_undef() { return BoxRef(new Box()); }

// Shallow copy of a value (containers keep the same element boxes; objects copy attributes).
// Returns false when the value cannot be copied (host type without copy constructor).
bool clone_value(const Value& from, Value& to);
BoxRef clone_box(const BoxRef& b);

// Name used by type_name() and in error messages.
std::string type_name_of(const Box& b);
// "const int" style description for error messages.
std::string type_desc(const Box& b);

// Host type registry lookups (names given with user_type<T>()).
const HostType* find_host_type(const std::type_info& t);
const HostType* register_host_type(const std::type_info& t, const std::string& name,
                                   std::shared_ptr<void> (*copy)(const void*));

}  // namespace chai
