// Script values. Undefined values, bools and numbers are held directly (immediates); strings,
// containers, objects, functions and host objects live in reference-counted boxes.
//
// The language gives every value a box that variables, elements, attributes and parameters may
// share; sharing is what gives it references (`var &r = x`, `:=`, arguments). An immediate in a
// slot stands for a box nobody else holds. Whatever takes a second reference to a slot first
// turns its immediate into a box (promote()), so sharing works the same for every kind.
//
// A box is the cell its holders share. `x := y` makes x's cell hold y's value itself, shared from
// then on: both cells become aliases of one box holding the value (box() is that box, cell() the
// cell), and rebinding either cell later leaves the other as it is.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "chai/errors.hpp"
#include "chai/runtime/number.hpp"

namespace chai {

struct Box;
struct Callable;
struct DynObject;
struct HostTypeInfo;
class BoxTracker;

// Value flags. Const: a literal or host constant, never changed in place. Temp: a fresh result
// that may be taken over instead of copied. CString: a string standing for a C string (c_str()).
enum : uint8_t { kConst = 1, kTemp = 2, kCString = 4 };

enum class Tag : uint8_t { Unset, Undef, Bool, Num, Boxed };

// What type_name() tells apart.
enum class Kind : uint8_t { Undef, Bool, Number, String, Vector, Map, Pair, Function, Object, Host, Error, Range,
                            TypeInfo };

class Value {
public:
    // An undefined value.
    Value() noexcept : tag_(Tag::Undef), nk_(NumKind::Int), flags_(0) { u_.i = 0; }
    // Not a value at all: an undeclared slot, or a function declining its arguments.
    static Value unset() noexcept {
        Value v;
        v.tag_ = Tag::Unset;
        return v;
    }
    static Value boolean(bool b, uint8_t flags = 0) noexcept {
        Value v;
        v.tag_ = Tag::Bool;
        v.flags_ = flags;
        v.u_.b = b;
        return v;
    }
    static Value number(const Number& n, uint8_t flags = 0) noexcept {
        Value v;
        v.tag_ = Tag::Num;
        v.nk_ = n.kind;
        v.flags_ = flags;
        v.u_.u = n.u;
        return v;
    }
    template <class T> static Value of(T x, uint8_t flags = 0) noexcept { return number(Number::make(x), flags); }
    // A reference to b (counted).
    explicit Value(Box* b) noexcept;

    Value(const Value& o) noexcept;
    Value(Value&& o) noexcept : tag_(o.tag_), nk_(o.nk_), flags_(o.flags_), u_(o.u_) { o.tag_ = Tag::Undef; }
    Value& operator=(const Value& o) noexcept;
    Value& operator=(Value&& o) noexcept;
    // Copies o into this value, which holds no box (a slot of a frame just pushed): there is
    // nothing to release first.
    void fill_empty(const Value& o) noexcept;
    // Unsets a slot a frame gives back; what fill_empty and declarations read of it is its tag
    // and flags, so the rest is left as it is.
    void clear_slot() noexcept {
        if (tag_ == Tag::Boxed) release();
        tag_ = Tag::Unset;
        flags_ = 0;
    }
    ~Value() {
        if (tag_ == Tag::Boxed) release();
    }

    Tag tag() const { return tag_; }
    bool is_unset() const { return tag_ == Tag::Unset; }
    bool boxed() const { return tag_ == Tag::Boxed; }
    // The box holding the value (behind an alias cell, the box it stands for).
    Box* box() const;
    // The box this value shares with the other holders of its cell.
    Box* cell() const { return tag_ == Tag::Boxed ? u_.box : nullptr; }

    // The value itself: an immediate, or what its box holds.
    Kind kind() const;
    bool is_undef() const;
    bool is_bool() const;
    bool is_num() const;
    bool as_bool() const;    // is_bool() only
    Number num() const;      // is_num() only
    // Immediates only (the fast paths of the evaluator).
    bool imm_num() const { return tag_ == Tag::Num; }
    bool imm_int() const { return tag_ == Tag::Num && nk_ == NumKind::Int; }
    int32_t int32() const { return static_cast<int32_t>(u_.i); }
    // The immediate held here or in this value's box (for reading numbers where they are).
    const Value& scalar_view() const;
    // An int immediate without flags changed in place (a loop counter).
    bool plain_int() const { return tag_ == Tag::Num && nk_ == NumKind::Int && flags_ == 0; }
    void set_int32(int32_t x) { u_.i = x; }
    // What `*this = number(n)` does to an immediate, without the test for a box to release.
    void set_imm(const Number& n) {
        nk_ = n.kind;
        flags_ = 0;
        u_.u = n.u;
    }
    Number imm() const {
        Number n;
        n.kind = nk_;
        n.u = u_.u;
        return n;
    }

    // Boxed kinds: the content, or null for other kinds.
    std::string* str() const;
    std::vector<Value>* vec() const;
    std::map<std::string, Value>* map() const;
    struct PairV* pair() const;
    const std::shared_ptr<const Callable>* func() const;
    const std::shared_ptr<DynObject>* obj() const;
    struct HostObj* host() const;
    class ErrorV* error() const;
    struct RangeV* range() const;
    struct TypeInfoV* type_info() const;

    uint8_t flags() const;
    bool is_const() const { return (flags() & kConst) != 0; }
    bool is_temp() const { return (flags() & kTemp) != 0; }
    void set_flags(uint8_t f);
    // The same value without flags (what a variable stores).
    Value plain() const {
        Value v = *this;
        if (tag_ != Tag::Boxed) v.flags_ = 0;
        return v;
    }

private:
    friend struct Box;
    void release() noexcept;
    Tag tag_;
    NumKind nk_;
    uint8_t flags_;  // immediates only; a box keeps its own
    union {
        bool b;
        int64_t i;
        uint64_t u;
        Box* box;
    } u_;
};

using Vector = std::vector<Value>;
using Map = std::map<std::string, Value>;
using FuncRef = std::shared_ptr<const Callable>;
using ObjRef = std::shared_ptr<DynObject>;

struct PairV {
    Value first, second;
    bool map_pair = false;  // a Map's entry: const key, its own type name
};

struct HostObj {
    const HostTypeInfo* type = nullptr;
    std::shared_ptr<void> ptr;
    // Script values a library object keeps (a future's function), visible to the cycle collector.
    std::shared_ptr<Vector> held;
};

// An exception value seen by scripts (host/library errors, eval errors from eval()).
class ErrorV {
public:
    ErrorV(std::string type_name, std::string what, std::shared_ptr<const exception::eval_error> eval = {},
           bool range_error = false)
        : info_(std::make_shared<const Info>(Info{std::move(type_name), std::move(what), std::move(eval), range_error})) {}
    // runtime_error, out_of_range, exception, eval_error
    const std::string& type_name() const { return info_->type_name; }
    const std::string& what() const { return info_->what; }
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

// A cell standing for another box's value (after :=); never for another alias.
struct AliasV {
    Value to;
};

// Rare extras of a box: attributes set with get_var_attr, or a link that writes changes back to
// a string's character or a host object's member.
struct BoxExtra;

using Payload = std::variant<Value, std::string, Vector, Map, PairV, FuncRef, ObjRef, HostObj, ErrorV, RangeV, TypeInfoV,
                             AliasV>;
enum PayloadIndex : uint8_t { P_Scalar, P_String, P_Vector, P_Map, P_Pair, P_Func, P_Object, P_Host, P_Error, P_Range,
                              P_TypeInfo, P_Alias };

struct Box {
    uint32_t refs = 0;
    uint32_t track_slot = 0;
    BoxTracker* tracker = nullptr;  // the engine that may have to break cycles through this box
    BoxExtra* extra = nullptr;
    uint8_t flags = 0;
    Payload p;

    Box() = default;
    explicit Box(Payload v) : p(std::move(v)) {}
    template <size_t I, class T> Box(std::in_place_index_t<I> i, T&& v) : p(i, std::forward<T>(v)) {}
    Box(const Box&) = delete;
    Box& operator=(const Box&) = delete;

    static void* operator new(size_t n);
    static void operator delete(void* p) noexcept;

    // A box holding an immediate keeps it here.
    Value& scalar() { return *std::get_if<Value>(&p); }
    const Value& scalar() const { return *std::get_if<Value>(&p); }
    bool holds_scalar() const { return p.index() == P_Scalar; }
    // The box holding this cell's value: itself, or the box an alias stands for.
    Box* target() { return p.index() == P_Alias ? std::get_if<P_Alias>(&p)->to.cell() : this; }
};

// Frees a box without recursing through nested containers (deep structures cannot overflow).
void destroy_box(Box* b) noexcept;

// ---- Value, inline ----
inline Value::Value(Box* b) noexcept : tag_(Tag::Boxed), nk_(NumKind::Int), flags_(0) {
    u_.box = b;
    ++b->refs;
}
inline Value::Value(const Value& o) noexcept : tag_(o.tag_), nk_(o.nk_), flags_(o.flags_), u_(o.u_) {
    if (tag_ == Tag::Boxed) ++u_.box->refs;
}
inline Value& Value::operator=(const Value& o) noexcept {
    if (o.tag_ == Tag::Boxed) ++o.u_.box->refs;
    if (tag_ == Tag::Boxed) release();
    tag_ = o.tag_;
    nk_ = o.nk_;
    flags_ = o.flags_;
    u_ = o.u_;
    return *this;
}
inline void Value::fill_empty(const Value& o) noexcept {
    if (o.tag_ == Tag::Boxed) ++o.u_.box->refs;
    tag_ = o.tag_;
    nk_ = o.nk_;
    flags_ = o.flags_;
    u_ = o.u_;
}
inline Value& Value::operator=(Value&& o) noexcept {
    if (this != &o) {
        if (tag_ == Tag::Boxed) release();
        tag_ = o.tag_;
        nk_ = o.nk_;
        flags_ = o.flags_;
        u_ = o.u_;
        o.tag_ = Tag::Undef;
    }
    return *this;
}
inline void Value::release() noexcept {
    if (--u_.box->refs == 0) destroy_box(u_.box);
}
inline Box* Value::box() const { return tag_ == Tag::Boxed ? u_.box->target() : nullptr; }
inline Kind Value::kind() const {
    switch (tag_) {
    case Tag::Bool: return Kind::Bool;
    case Tag::Num: return Kind::Number;
    case Tag::Boxed: break;
    default: return Kind::Undef;
    }
    const Box& b = *box();
    if (b.holds_scalar()) return b.scalar().kind();
    return static_cast<Kind>(b.p.index() + static_cast<size_t>(Kind::String) - P_String);
}
inline bool Value::is_undef() const {
    return tag_ == Tag::Undef || (tag_ == Tag::Boxed && box()->holds_scalar() && box()->scalar().tag_ == Tag::Undef);
}
inline bool Value::is_bool() const {
    return tag_ == Tag::Bool || (tag_ == Tag::Boxed && box()->holds_scalar() && box()->scalar().tag_ == Tag::Bool);
}
inline bool Value::is_num() const {
    return tag_ == Tag::Num || (tag_ == Tag::Boxed && box()->holds_scalar() && box()->scalar().tag_ == Tag::Num);
}
// Asked of a value of another kind (a library function that forgot to check): an error, not a
// stray read. In box.cpp.
[[noreturn]] void wrong_kind(const char* wanted);
inline bool Value::as_bool() const {
    if (tag_ == Tag::Bool) return u_.b;
    if (!is_bool()) wrong_kind("bool");
    return box()->scalar().u_.b;
}
inline Number Value::num() const {
    if (tag_ == Tag::Num) return imm();
    if (!is_num()) wrong_kind("Number");
    return box()->scalar().imm();
}
inline const Value& Value::scalar_view() const {
    return tag_ == Tag::Boxed && box()->holds_scalar() ? box()->scalar() : *this;
}
inline uint8_t Value::flags() const { return tag_ == Tag::Boxed ? box()->flags : flags_; }
inline void Value::set_flags(uint8_t f) {
    if (tag_ == Tag::Boxed) box()->flags = f;
    else flags_ = f;
}

template <class T, PayloadIndex I> T* payload_of(const Value& v) {
    Box* b = v.box();
    return b ? std::get_if<I>(&b->p) : nullptr;
}
inline std::string* Value::str() const { return payload_of<std::string, P_String>(*this); }
inline Vector* Value::vec() const { return payload_of<Vector, P_Vector>(*this); }
inline Map* Value::map() const { return payload_of<Map, P_Map>(*this); }
inline PairV* Value::pair() const { return payload_of<PairV, P_Pair>(*this); }
inline const FuncRef* Value::func() const { return payload_of<FuncRef, P_Func>(*this); }
inline const ObjRef* Value::obj() const { return payload_of<ObjRef, P_Object>(*this); }
inline HostObj* Value::host() const { return payload_of<HostObj, P_Host>(*this); }
inline ErrorV* Value::error() const { return payload_of<ErrorV, P_Error>(*this); }
inline RangeV* Value::range() const { return payload_of<RangeV, P_Range>(*this); }
inline TypeInfoV* Value::type_info() const { return payload_of<TypeInfoV, P_TypeInfo>(*this); }

// Values that can hold other boxes, so can be part of a cycle.
inline bool holds_boxes(size_t index) {
    return (index >= P_Vector && index <= P_Object) || index == P_Range || index == P_Alias;
}
inline bool holds_boxes(const Box& b) {
    return holds_boxes(b.p.index()) || (b.p.index() == P_Host && std::get_if<P_Host>(&b.p)->held);
}

}  // namespace chai
