// The evaluator: walks the syntax tree with an explicit scope stack.
#pragma once
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <typeindex>
#include <unordered_map>
#include <vector>

#include "chai/syntax/tree.hpp"
#include "chai/runtime/collect.hpp"
#include "chai/errors.hpp"
#include "chai/runtime/value.hpp"

namespace chai {

// Arguments of a call: a view over boxes owned by the caller.
struct Args {
    BoxRef* data = nullptr;
    size_t size = 0;
    BoxRef& operator[](size_t i) const { return data[i]; }
};

// Parameter type of a function, as far as dispatch is concerned.
struct TypeKey {
    enum Kind : uint8_t { Any, Arith, Num, Bool, Str, Vec, MapT, PairT, MapPairT, Func, Obj, Class, Host, Error, RangeT, TypeInfoT };
    Kind kind = Any;
    NumKind nk = NumKind::Int;
    bool is_const = false;                   // host parameter taken as const (shown in signatures only)
    uint32_t cls = 0;                        // Class: interned class name
    const std::type_info* host = nullptr;    // Host
    std::string name;                        // Error: error type name; others: display name
    bool operator==(const TypeKey& o) const {
        return kind == o.kind && (kind != Num || nk == o.nk) && (kind != Class || cls == o.cls) &&
               (kind != Host || *host == *o.host) && (kind != Error || name == o.name);
    }
};

struct Callable {
    std::string name;
    int arity = 0;  // -1: any number of arguments
    std::vector<TypeKey> params;
    TypeKey result;  // what calls give, where known (host functions, predicates); else any value
    bool guarded = false;
    bool host = true;  // host/library functions come before script functions in a set
    bool attr_getter = false;  // the getter a class attribute declaration makes
    // Reads a host data member (`obj.name`): `obj.name(args)` calls the member's value.
    bool member_getter = false;
    uint64_t seq = 0;  // definition order
    virtual ~Callable() = default;
    // self: explicit `this` for functions stored in an object's attribute.
    virtual BoxRef call(Interp& in, Args a, const BoxRef* self) const = 0;
    virtual bool guard_ok(Interp&, Args, const BoxRef*) const { return true; }
    // Overload sets and bound functions dispatch themselves.
    virtual bool is_set() const { return false; }
    // Parameter types as error details show them; dot: the object split off, "(T).(U, V)".
    virtual std::string signature(bool dot = false) const;
};

using FnList = std::vector<FuncRef>;

// "(a, b)", or with the object split off "(a).(b)" / "(a).()".
std::string type_list(const std::vector<std::string>& names, bool dot);
using FnTable = std::unordered_map<uint32_t, std::shared_ptr<FnList>>;

// Thrown by host-argument conversion when a value cannot become the C++ parameter type.
struct ConversionFailed {};

// A value thrown by throw(); leaves the engine as exception::uncaught_throw.
struct ScriptThrow {
    BoxRef value;
};

enum class Ctl : uint8_t { None, Break, Continue, Return };

struct ClassInfo {
    std::vector<uint32_t> attrs;
};

// Turns a script value into a C++ object of one type (containers, user conversions).
struct HostConversion {
    bool (*accepts)(const Box&);  // cheap shape test, used by dispatch
    std::function<std::shared_ptr<void>(Interp&, const BoxRef&)> convert;  // may throw ConversionFailed
};

// A conversion registered by a script: values of exactly type `from` become `to` through fn.
struct ScriptConversion {
    TypeKey from, to;
    BoxRef fn;
};

// Registry shared by the engine and the binding templates.
struct HostRegistry {
    std::map<std::string, TypeKey> type_names;  // user_type names
    // Conversions into host types, keyed by the target type.
    std::unordered_multimap<std::type_index, HostConversion> conversions;
    const HostConversion* conversion_to(const std::type_info& to, const Box& b) const {
        if (conversions.empty()) return nullptr;
        auto [it, end] = conversions.equal_range(std::type_index(to));
        for (; it != end; ++it)
            if (it->second.accepts(b)) return &it->second;
        return nullptr;
    }
    // (derived, base) -> pointer adjustment
    std::map<std::pair<std::type_index, std::type_index>, void* (*)(void*)> bases;
};

class Interp {
public:
    // Declared first so it outlives every value the engine holds.
    BoxTracker tracker;

    Interp();
    ~Interp();
    Interp(const Interp&) = delete;
    Interp& operator=(const Interp&) = delete;

    // Runs a parsed program (or one node of it) in the current scope; returns its value.
    BoxRef run(const ProgramRef& prog, const Node* node = nullptr);
    BoxRef eval_text(const std::string& text, const std::string& filename);
    // Reads and runs a script file (file_not_found_error if it cannot be read).
    BoxRef eval_file(const std::string& path);
    // Runs a file the first time it is used; later uses give undefined.
    BoxRef use_file(const std::string& path);
    // A new global (exception::name_conflict_error if the name is taken), or a replaced one
    // (a constant global cannot be replaced).
    void add_global(const std::string& name, BoxRef value);
    void set_global(const std::string& name, BoxRef value);
    BoxRef eval(const Node* n);
    // Evaluates a statement whose value is not needed (loop bodies, increments): cheaper.
    void exec(const Node* n);

    // ---- functions ----
    void add_function(uint32_t name, FuncRef f, const Node* site = nullptr);
    const FnList* functions(uint32_t name) const {
        const FnCacheEntry& e = fn_cache_[name % kFnCacheSize];
        if (e.name == name && e.gen == fn_generation) return e.list;
        return find_functions(name);
    }
    // Whether the name has no functions but class attributes' getters.
    bool only_attr_getters(uint32_t name) const {
        const FnCacheEntry& e = fn_cache_[name % kFnCacheSize];
        if (e.name != name || e.gen != fn_generation) find_functions(name);
        return e.getters_only;
    }
    // Whether some function of the name reads a host data member.
    bool has_member_getters(uint32_t name) const {
        const FnCacheEntry& e = fn_cache_[name % kFnCacheSize];
        if (e.name != name || e.gen != fn_generation) find_functions(name);
        return e.member_getters;
    }
    // `obj.name(args)` where name is a data member of obj: calls the member's value with the
    // arguments (`this` = obj), or gives a value that is not a function when there are none.
    // Null when no member of that name applies to obj.
    BoxRef call_member_value(const FnList& fns, Args a, const Node* site);
    // Calls a function value with arguments.
    BoxRef call_value(const BoxRef& fn, Args a, const Node* site, const BoxRef* self = nullptr);
    // A function held in an object's attribute, called as a method: a[0] is the object.
    BoxRef call_attr_function(const BoxRef& fn, Args a, const Node* site, const BoxRef& obj);
    // Whether the object's class declares the attribute (so it has a getter function).
    bool declares_attr(const DynObject& o, uint32_t attr) const;
    BoxRef call_named(uint32_t name, Args a, const Node* site);
    // Selects and runs an overload; returns null when nothing matched (reports nothing).
    BoxRef try_dispatch(const FnList& fns, Args a, const BoxRef* self, const Node* site, bool& matched);
    BoxRef resolve(const FnList& fns, Args a, const BoxRef* self, const Node* site,
                   bool& matched, bool cacheable, uint64_t sig);
    BoxRef dispatch(const FnList& fns, Args a, const Node* site, const std::string& name, const BoxRef* self = nullptr);
    [[noreturn]] void not_a_function(const Node* site);
    [[noreturn]] void conversion_failed(const FnList& fns, Args a, const Node* site, const std::string& name);
    [[noreturn]] void dispatch_failed(const FnList& fns, Args a, const Node* site, const std::string& name,
                                      bool dot_form);
    int match(const TypeKey& t, const Box& b) const;
    // A script conversion turning b into type t, or null.
    const ScriptConversion* script_conversion(const TypeKey& t, const Box& b) const;
    // Calls f with arguments converted to its parameter types by script conversions (and, if
    // `numbers`, numeric casts); false when they do not convert or f's guard refuses them.
    bool call_converted(const Callable& f, Args a, const BoxRef* self, bool numbers, BoxRef& result, bool& matched);
    TypeKey resolve_type(const std::string& name) const;

    // ---- variables ----
    BoxRef* find_var(uint32_t id) {
        for (size_t i = locals.size(); i > frame_base; --i)
            if (locals[i - 1].first == id) return &locals[i - 1].second;
        return find_global(id);
    }
    BoxRef* find_global(uint32_t id);
    // find_var for an identifier node, remembering where the variable was found.
    BoxRef* var_slot(const Node* id) {
        if (id->slot_epoch == shadow_epoch) {
            size_t i = frame_base + id->slot;
            if (i < locals.size() && locals[i].first == id->name) return &locals[i].second;
        }
        for (size_t i = locals.size(); i > frame_base; --i)
            if (locals[i - 1].first == id->name) {
                id->slot = static_cast<uint32_t>(i - 1 - frame_base);
                id->slot_epoch = shadow_epoch;
                return &locals[i - 1].second;
            }
        return find_global(id->name);
    }
    // Bumped whenever a frame gets two variables of one name (invalidates slot caches).
    uint32_t shadow_epoch = 1;
    BoxRef& declare(uint32_t id, BoxRef b, const Node* site);
    BoxRef lookup(uint32_t id, const Node* site);
    // The functions of a name as one value; null when there are none.
    BoxRef function_value(uint32_t id);

    // ---- values ----
    bool truth(const BoxRef& b, const Node* site, const char* why = "Condition not boolean");
    // Evaluates a condition; numeric comparisons of plain operands need no boxes. That case is
    // inline: loops test it on every turn.
    bool condition(const Node* n) {
        if (n->kind == NK::Binary && n->op >= OpCode::Lt && n->op <= OpCode::Ne) {
            const Number *a, *b;
            Number ta, tb;
            if (fast_operands(n, a, b, ta, tb)) return num_compare_quick(static_cast<NumOp>(n->op), *a, *b);
            return boxed_comparison(n);
        }
        return other_condition(n);
    }
    bool boxed_comparison(const Node* n);
    bool other_condition(const Node* n);
    // Side-effect-free numeric expressions (constants, variables, arithmetic) computed without
    // boxes; false when n is not of that shape or a value is not a number.
    bool fast_num(const Node* n, Number& out);
    // A number constant or number variable, else null.
    const Number* num_leaf(const Node* n) {
        if (n->kind == NK::Const) return n->value->is_num() ? &n->value->num() : nullptr;
        if (n->kind == NK::Id) {
            BoxRef* v = var_slot(n);
            return v && (*v)->is_num() ? &(*v)->num() : nullptr;
        }
        return nullptr;
    }
    // One operand as a number: a leaf, or arithmetic on two leaves computed inline into tmp
    // (the shape of `n % d`); anything deeper goes through fast_num.
    const Number* fast_operand(const Node* x, Number& tmp) {
        if (const Number* v = num_leaf(x)) return v;
        return arith_operand(x, tmp);
    }
    const Number* arith_operand(const Node* x, Number& tmp);
    // Both operands of a binary node as numbers, computed without boxes.
    bool fast_operands(const Node* n, const Number*& a, const Number*& b, Number& ta, Number& tb) {
        a = fast_operand(n->first, ta);
        if (!a) return false;
        b = fast_operand(n->second, tb);
        return b != nullptr;
    }
    // ++x / --x on a number variable, done in place; false when n is not of that shape.
    bool step_in_place(const Node* n) {
        if ((n->op != OpCode::Incr && n->op != OpCode::Decr) || n->first->kind != NK::Id) return false;
        BoxRef* v = var_slot(n->first);
        if (!v || !(*v)->is_num() || (*v)->is_const || (*v)->char_ref) return false;
        num_incr_quick((*v)->num(), n->op == OpCode::Incr ? 1 : -1);
        return true;
    }
    std::string to_text(const BoxRef& b, const Node* site = nullptr);  // via to_string overloads
    BoxRef bool_box(bool v) { return make_bool(v); }
    // The undefined result of statements (read-only, shared).
    const BoxRef& no_value() const { return no_value_; }
    void assign(const BoxRef& dst, const BoxRef& src, const Node* site);
    BoxRef literal_element(const BoxRef& b, const Node* site, const char* uncopyable);
    BoxRef new_object(const std::string& cls);
    void add_attribute(uint32_t cls, uint32_t attr, const Node* site);

    [[noreturn]] void fail(const Node* n, const std::string& reason, const std::string& params = {},
                           const std::string& detail = {});
    exception::AST_Node_Trace trace(const Node* n) const;
    // Adds a call site to an error passing through it (once per site).
    // Names that definitions may not take; what: "function", "method", "global", "attribute".
    void check_name(uint32_t id, const char* what, const Node* site);
    // Records call site n in e's call stack, after the nodes leading to it.
    void add_call_trace(exception::eval_error& e, const Node* n) const;
    // Adds the nodes enclosing the last one recorded, up to (not including) stop or the start
    // of the function or program that node is in: every node whose evaluation the error ended.
    void complete_trace(exception::eval_error& e, const Node* stop) const;
    // Evaluates n; an error leaving it lists the nodes it passed through (see complete_trace).
    BoxRef eval_traced(const Node* n, const Node* stop) {
        try {
            return eval(n);
        } catch (exception::eval_error& e) {
            complete_trace(e, stop);
            throw;
        }
    }
    void check_stack(const Node* site);
    void count_step(const Node* site) {
        if (step_limit_ && ++steps_ > step_limit_) fail(site, "Evaluation step limit reached");
    }

    // ---- state (public for the library and binding code) ----
    std::vector<std::pair<uint32_t, BoxRef>> locals;
    size_t frame_base = 0;
    size_t scope_base = 0;
    std::unordered_map<uint32_t, BoxRef> globals;
    FnTable funcs;
    std::unordered_map<uint32_t, ClassInfo> classes;
    HostRegistry reg;
    std::vector<ScriptConversion> script_conversions;  // add_type_conversion, in order
    Ctl ctl = Ctl::None;
    BoxRef ret;
    uint64_t fn_seq = 1000000;
    uint32_t fn_generation = 1;  // changes whenever a function is added (invalidates call caches)
    std::vector<std::shared_ptr<FnList>> retired_lists;
    int dispatch_depth = 0;  // overload lists may be in use while this is positive
    uint64_t step_limit_ = 0, steps_ = 0;
    const char* stack_base = nullptr;
    size_t stack_budget = 0;
    // Tracked boxes at which cycles are next collected before a top-level run (see run()).
    size_t collect_at = 4096;
    std::vector<std::string> used_files;

private:
    BoxRef eval_block(const Node* n, bool new_scope);
    void exec_block(const Node* n);
    void exec_if(const Node* n);
    BoxRef eval_id(const Node* n);
    BoxRef eval_assign(const Node* n);
    BoxRef eval_binary(const Node* n);
    BoxRef eval_prefix(const Node* n);
    BoxRef eval_call(const Node* n);
    // target: obj.name is being assigned, so a function in the attribute is replaced, not called.
    BoxRef eval_dot(const Node* n, bool target = false);
    BoxRef eval_index(const Node* n);
    // c[i] for a place that is changed or bound by reference: a string's char comes back linked.
    BoxRef eval_index_ref(const Node* n);
    BoxRef index_values(const BoxRef& c, const BoxRef& i, const Node* site);
    // A value taken by reference (an argument, a `:=`/`var &` source, the operand of ++/--): a
    // string's char included, so swap(s[0], s[1]) and ++s[i] work.
    BoxRef eval_arg(const Node* a) { return a->kind == NK::Index ? eval_index_ref(a) : eval(a); }
    BoxRef eval_container(const Node* n);
    BoxRef eval_interp(const Node* n);
    BoxRef eval_lambda(const Node* n);
    BoxRef eval_def(const Node* n);
    BoxRef eval_class(const Node* n);
    BoxRef eval_if(const Node* n);
    BoxRef eval_while(const Node* n);
    BoxRef eval_for(const Node* n);
    BoxRef eval_switch(const Node* n);
    BoxRef eval_try(const Node* n);
    BoxRef eval_decl(const Node* n);
    void compound_assign(const Node* n, const BoxRef& dst, const BoxRef& src);
    bool catch_matches(const Node* c, const BoxRef& v);

    BoxRef no_value_;

    // Recently looked-up overload lists, valid while fn_generation is unchanged: calls find
    // their functions without a hash lookup.
    static constexpr size_t kFnCacheSize = 256;
    struct FnCacheEntry {
        uint32_t name = 0, gen = 0;
        const FnList* list = nullptr;
        bool getters_only = true;
        bool member_getters = false;  // some function is a host data member's getter
    };
    mutable FnCacheEntry fn_cache_[kFnCacheSize];
    const FnList* find_functions(uint32_t name) const;

public:
    ProgramRef current_program;
    // l op r as a script writes it: native for two numbers, else the operator's overloads.
    BoxRef binary_values(OpCode op, uint32_t fn, const std::string& text, const BoxRef& l, const BoxRef& r, const Node* site);
};

// Restores the locals stack on scope exit.
struct ScopeGuard {
    explicit ScopeGuard(Interp& i) : in(i), mark(i.locals.size()), saved_scope(i.scope_base) { i.scope_base = mark; }
    ~ScopeGuard() {
        // Most scopes declare nothing; skip the out-of-line resize for them.
        if (in.locals.size() != mark) in.locals.resize(mark);
        in.scope_base = saved_scope;
    }
    Interp& in;
    size_t mark, saved_scope;
};

// A fresh stack for a function call: callers' locals become invisible.
struct FrameGuard {
    explicit FrameGuard(Interp& i) : in(i), mark(i.locals.size()), saved_frame(i.frame_base), saved_scope(i.scope_base) {
        i.frame_base = mark;
        i.scope_base = mark;
    }
    ~FrameGuard() {
        in.locals.resize(mark);
        in.frame_base = saved_frame;
        in.scope_base = saved_scope;
    }
    Interp& in;
    size_t mark, saved_frame, saved_scope;
};

// Function defined in script (def, lambda, method, constructor).
struct ScriptFn : Callable {
    ProgramRef keep;
    const Node* body = nullptr;
    const Node* guard = nullptr;
    const Node* def = nullptr;
    std::vector<uint32_t> names;  // parameter names, without the implicit object of methods
    bool method = false;          // first argument is `this` only
    bool unwrapped = false;       // a method seen as the function inside it (contains nothing)
    bool ctor = false;            // constructs an object of class `cls`
    std::string cls;
    mutable std::vector<std::pair<uint32_t, BoxRef>> captures;
    std::string annotation;

    bool unusual_names = false;   // parameters repeat or hide `this`/captures (see note_names)

    BoxRef call(Interp& in, Args a, const BoxRef* self) const override;
    bool guard_ok(Interp& in, Args a, const BoxRef* self) const override;
    std::string signature(bool dot = false) const override;
    // Finds parameter names needing care on each call; run once the names and captures are set.
    void note_names();

private:
    void bind(Interp& in, Args a, const BoxRef* self, const BoxRef& obj) const;
    void check_names(Interp& in) const;
};

// Library/host function implemented in C++.
struct NativeFn : Callable {
    std::function<BoxRef(Interp&, Args)> fn;
    std::function<bool(Args)> guard;  // set when guarded
    BoxRef call(Interp& in, Args a, const BoxRef*) const override { return fn(in, a); }
    bool guard_ok(Interp&, Args a, const BoxRef*) const override { return !guard || guard(a); }
};

// A function name used as a value: the whole overload set.
struct OverloadSet : Callable {
    FnList fns;
    BoxRef call(Interp& in, Args a, const BoxRef* self) const override;
    bool is_set() const override { return true; }
};

// bind(f, a, _, c): fixed arguments with placeholders.
struct BoundFn : Callable {
    BoxRef target;
    std::vector<BoxRef> fixed;  // null entries are placeholders
    BoxRef call(Interp& in, Args a, const BoxRef* self) const override;
    bool is_set() const override { return true; }
};

// One signature and no guards: two such functions cannot be overloads of each other.
bool same_signature(const Callable& a, const Callable& b);
// Function values compare equal when they are the same function, sets of the same functions,
// or script functions that could not be overloads of each other.
bool functions_equal(const Callable& a, const Callable& b);

// Whole text of a script file; throws exception::file_not_found_error.
std::string read_script_file(const std::string& path);

TypeKey key_any();
const TypeKey* builtin_type_key(const std::string& name);
TypeKey key_num(NumKind k);
TypeKey key_of(TypeKey::Kind k, const char* name);
std::string key_name(const TypeKey& k);
// bind(f, ...): `fixed` holds null entries where call arguments go.
FuncRef make_bound(const BoxRef& target, std::vector<BoxRef> fixed);
FuncRef make_native(const std::string& name, std::vector<TypeKey> params, std::function<BoxRef(Interp&, Args)> fn,
                    int arity = -2, TypeKey result = TypeKey());
BoxRef func_box(FuncRef f);
uint32_t id_this();

}  // namespace chai
