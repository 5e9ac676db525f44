// Functions: script functions, library and host functions, overload sets and bound functions;
// their parameter types, and the arguments of a call.
#pragma once
#include <algorithm>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "chai/runtime/box.hpp"
#include "chai/runtime/host_type.hpp"

namespace chai {

class Interp;
class Context;
class Names;
struct Node;
struct FnInfo;
struct Program;
struct Tree;

// Parameter type of a function, as far as dispatch is concerned.
struct TypeKey {
    enum Kind : uint8_t { Any, Arith, Num, Bool, Str, Vec, MapT, PairT, MapPairT, Func, Obj, Class, Host, Error, RangeT,
                          TypeInfoT };
    Kind kind = Any;
    NumKind nk = NumKind::Int;
    bool is_const = false;                 // host parameter taken as const (shown in signatures only)
    uint32_t cls = 0;                      // Class: name id of the class
    const HostTypeInfo* host = nullptr;    // Host
    std::string name;                      // Error: error type name; others: display name
    bool operator==(const TypeKey& o) const {
        return kind == o.kind && (kind != Num || nk == o.nk) && (kind != Class || cls == o.cls) &&
               (kind != Host || host == o.host) && (kind != Error || name == o.name);
    }
};

TypeKey key_any();
TypeKey key_num(NumKind k);
TypeKey key_of(TypeKey::Kind k, const char* name);
std::string key_name(const TypeKey& k);
const TypeKey* builtin_type_key(const std::string& name);

// One argument of a call. A variable holding an immediate is passed as its place: the callee
// shares it only if it needs a reference (see Args::ref), so reading costs nothing.
struct Arg {
    Value value;
    Value* place = nullptr;
};

// The arguments of a call: a view over the caller's array.
struct Args {
    Arg* data = nullptr;
    size_t size = 0;
    const Value& operator[](size_t i) const {
        const Arg& a = data[i];
        return a.place ? *a.place : a.value;
    }
    // The argument itself, as a box others may share (a variable passed in is shared from now).
    Value& ref(size_t i) const {
        Arg& a = data[i];
        if (a.place) {
            a.value = promote(*a.place);
            a.place = nullptr;
        } else {
            promote(a.value);
        }
        return a.value;
    }
    Args tail(size_t from) const { return Args{data + from, size - from}; }
};

// The arguments of a call being evaluated: a few in place, more on the heap.
class ArgList {
public:
    explicit ArgList(size_t capacity) {
        if (capacity > kInPlace) {
            big_.reserve(capacity);
            data_ = nullptr;
        }
    }
    ArgList(const ArgList&) = delete;
    ArgList& operator=(const ArgList&) = delete;
    ~ArgList() {
        if (data_)
            for (size_t i = 0; i < n_; ++i) data_[i].~Arg();
    }
    void push(Arg a) {
        if (data_) new (data_ + n_) Arg(std::move(a));
        else big_.push_back(std::move(a));
        ++n_;
    }
    Args args() { return Args{data_ ? data_ : big_.data(), n_}; }

private:
    static constexpr size_t kInPlace = 4;
    alignas(Arg) unsigned char small_[kInPlace * sizeof(Arg)];
    Arg* data_ = reinterpret_cast<Arg*>(small_);
    std::vector<Arg> big_;
    size_t n_ = 0;
};

// Library functions whose call and method sites run them directly once dispatch has chosen them
// (see Interp::intrinsic_site); the library function itself runs the same code (run_intrinsic).
enum class Intrinsic : uint8_t {
    None, Convert, ToString, VectorSize, StringSize, MapSize, VectorPushBack, StringJoin, StringEq, StringNe
};

struct Callable {
    enum class Type : uint8_t { Script, Native, Set, Bound };
    explicit Callable(Type t) : type(t) {}
    virtual ~Callable() = default;

    Type type;
    std::string name;
    int arity = 0;  // -1: any number of arguments
    std::vector<TypeKey> params;
    TypeKey result;  // what calls give, where known (host functions, predicates); else any value
    bool guarded = false;
    bool host = true;          // host/library functions come before script functions in a set
    bool attr_getter = false;  // the getter a class attribute declaration makes
    // Reads a host data member (`obj.name`): `obj.name(args)` calls the member's value.
    bool member_getter = false;
    // A host function that range-checks numbers itself: dispatch passes them unconverted.
    bool checks_numbers = false;
    // A script function with a fixed number of untyped parameters, no guard, neither constructor
    // nor method: a call with that many arguments and no object is its without any choosing, and
    // binds them the short way. Settled when the function is made.
    bool plain = false;
    // A script method with untyped parameters after its object, and no guard: a call whose first
    // argument is an object of its class (a Class parameter) is its. Settled when it is made.
    bool plain_method = false;
    Intrinsic intrinsic = Intrinsic::None;
    NumKind converts_to = NumKind::Int;  // Intrinsic::Convert: the kind of number made
    uint64_t seq = 0;  // definition order

    // self: explicit `this` for functions stored in an object's attribute. Unset: the function
    // declines these arguments (a library or host function that cannot take them).
    virtual Value call(Interp& in, Args a, const Value* self) const = 0;
    virtual bool guard_ok(Interp&, Args, const Value*) const { return true; }
    // Parameter types as error details show them; dot: the object split off, "(T).(U, V)".
    virtual std::string signature(bool dot = false) const;
    // Overload sets and bound functions dispatch themselves.
    bool is_set() const { return type == Type::Set || type == Type::Bound; }
};

// An overload chosen for arguments of these types (see arg_tags in dispatch.cpp).
struct Choice {
    static constexpr size_t kMaxArgs = 4;
    uint8_t nargs = 0xFF;
    // fn is a plain method that resolution picks for any object of its class, whatever follows.
    bool any_rest = false;
    uint32_t tags[kMaxArgs] = {};
    const Callable* fn = nullptr;
};

// The type words of a number of kind k and of a box whose payload has this index.
inline uint32_t number_tag(NumKind k) { return 3u << 24 | static_cast<uint32_t>(k); }
inline uint32_t payload_tag(size_t index) { return static_cast<uint32_t>(16 + index) << 24; }
// The argument types that decide overload resolution, one word each; false when a value's type
// is not one a cache can remember.
bool arg_tags(Args a, const Names& names, uint32_t* tags);
// c was chosen for arguments of these types.
bool chose_for(const Choice& c, const uint32_t* tags, size_t n);

// The choices a name's calls made, wherever they were made: a site that sees several argument
// types (a loop over mixed values) finds its earlier choices here. Valid while the name's
// functions and the engine's conversions are unchanged.
struct ChoiceMemo {
    static constexpr size_t kEntries = 8;
    uint64_t version = 0;
    uint32_t epoch = 0;
    uint8_t used = 0, next = 0;
    Choice entries[kEntries];
};

using FnList = std::vector<FuncRef>;
using FnListRef = std::shared_ptr<const FnList>;

// How a script call binds its arguments: in general, or (without an object) for a plain function
// or a plain method, whose cases are known before the call. The Dropped shapes are called from a
// site that drops the arguments when the call returns (nobody reads them after it).
enum class CallShape : uint8_t { General, Plain, Method, PlainDropped, MethodDropped };
constexpr bool is_plain_shape(CallShape s) { return s == CallShape::Plain || s == CallShape::PlainDropped; }
constexpr bool is_method_shape(CallShape s) { return s == CallShape::Method || s == CallShape::MethodDropped; }
constexpr bool drops_args(CallShape s) { return s == CallShape::PlainDropped || s == CallShape::MethodDropped; }

// Function defined in script (def, lambda, method, constructor).
struct ScriptFn : Callable {
    ScriptFn() : Callable(Type::Script) {}
    // The tree the function came from. When a script edits it (replace_child), the next call
    // runs the new version; calls already running finish on the one they started with.
    std::shared_ptr<Tree> tree;
    mutable std::shared_ptr<const Program> prog;
    mutable const Node* def = nullptr;  // the Def or Lambda node
    mutable const Node* body = nullptr;
    mutable const Node* guard = nullptr;
    mutable const FnInfo* frame = nullptr;
    // Shorter bindings a call without an object may take (bits of Binding), settled with the
    // definition (set_def). Any means no two parameters share a name.
    enum Binding : uint8_t {
        kOneParam = 1,    // one parameter
        kParamsRead = 2,  // no captures; fewer than 64 parameters, each only read
        // Not a binding: the body opens with a lone `if (c) { return e }` and more statements
        // follow (an early return, a recursion's base case).
        kGuardFirst = 4,
    };
    mutable uint8_t binding = 0;
    bool method = false;     // first argument is `this` only
    bool unwrapped = false;  // a method seen as the function inside it (contains nothing)
    bool ctor = false;       // constructs an object of class `cls`
    uint32_t cls = 0;
    mutable Vector captures;  // boxes, in the order of the capture list
    mutable uint32_t active = 0;  // calls running: an edit of the tree is followed by the next call
    std::string annotation;
    // Parts of the body a call reads first, kept here so that it finds them without walking down
    // the tree: with kGuardFirst, the opening if's condition and what its return gives (null:
    // nothing); for a block of statements, the value its last one gives (null: none), and whether
    // that one is a return.
    mutable const Node* opening_test = nullptr;
    mutable const Node* opening_value = nullptr;
    mutable const Node* closing_value = nullptr;
    mutable bool closing_returns = false;
    mutable uint32_t first_param_slot = 0;  // the frame's slot of the first parameter, if any

    Value call(Interp& in, Args a, const Value* self) const override;
    bool guard_ok(Interp& in, Args a, const Value* self) const override;
    std::string signature(bool dot = false) const override;
    // Runs from this Def or Lambda node (of the current program version) on.
    void set_def(const Node* n) const;
};

using NativeBody = std::function<Value(Context&, Args)>;

// Library/host function implemented in C++.
struct NativeFn : Callable {
    NativeFn() : Callable(Type::Native) {}
    NativeBody fn;
    std::function<bool(Args)> guard;  // set when guarded
    Value call(Interp& in, Args a, const Value*) const override;
    bool guard_ok(Interp&, Args a, const Value*) const override { return !guard || guard(a); }
};

// A function name used as a value: the whole overload set.
struct OverloadSet : Callable {
    OverloadSet() : Callable(Type::Set) {}
    FnList fns;
    Value call(Interp& in, Args a, const Value* self) const override;
};

// bind(f, a, _, c): fixed arguments with placeholders (unset entries).
struct BoundFn : Callable {
    BoundFn() : Callable(Type::Bound) {}
    Value target;
    std::vector<Value> fixed;
    Value call(Interp& in, Args a, const Value* self) const override;
};

// Every parameter of f from the first-th on is untyped.
inline bool untyped_from(const Callable& f, size_t first) {
    return std::all_of(f.params.begin() + static_cast<std::ptrdiff_t>(std::min(first, f.params.size())), f.params.end(),
                       [](const TypeKey& t) { return t.kind == TypeKey::Any; });
}
// Takes any values as its fixed number of arguments: unguarded, not a set, every parameter untyped.
inline bool takes_any_values(const Callable& f) {
    return !f.guarded && !f.is_set() && f.arity >= 0 && untyped_from(f, 0);
}
// One signature and no guards: two such functions cannot be overloads of each other.
bool same_signature(const Callable& a, const Callable& b);
// Function values compare equal when they are the same function, sets of the same functions,
// or script functions that could not be overloads of each other.
bool functions_equal(const Callable& a, const Callable& b);
// "(a, b)", or with the object split off "(a).(b)" / "(a).()".
std::string type_list(const std::vector<std::string>& names, bool dot);

FuncRef make_native(const std::string& name, std::vector<TypeKey> params, NativeBody fn, int arity = -2,
                    TypeKey result = TypeKey());
// bind(f, ...): `fixed` holds unset entries where call arguments go.
FuncRef make_bound(const Value& target, std::vector<Value> fixed);

}  // namespace chai
