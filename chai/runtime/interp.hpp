// The evaluator: walks resolved syntax trees. Locals live in frame slots, other names in the
// engine's name records; call sites remember the overload they chose.
#pragma once
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <memory>
#include <string>
#include <vector>

#include "chai/runtime/tracker.hpp"
#include "chai/runtime/context.hpp"
#include "chai/runtime/frame.hpp"
#include "chai/runtime/host_registry.hpp"
#include "chai/stack/stack.hpp"

namespace chai {

// A conversion registered by a script: values of exactly type `from` become `to` through fn.
struct ScriptConversion {
    TypeKey from, to;
    Value fn;
};

struct LibraryTable;

// A call-stack entry for a node.
exception::AST_Node_Trace trace_of(const Node* n);

class Interp final : public Context {
public:
    // Declared first so it outlives every value the engine holds.
    BoxTracker tracker;

    Interp(const LibraryTable& lib, const HostRegistry& lib_types);
    ~Interp() override;
    Interp(const Interp&) = delete;
    Interp& operator=(const Interp&) = delete;

    // ---- entry points (the host's calls end up here) ----
    // Runs fn as one evaluation: on the engine's own stack, with cycles collected between runs.
    // Evaluations started from inside one (host functions calling back) run directly.
    template <class F> Value enter(F&& fn) {
        if (running_depth_ > 0) return fn();
        using Fn = std::remove_reference_t<F>;
        return enter_new([](void* f) -> Value { return (*static_cast<Fn*>(f))(); }, &fn);
    }
    bool evaluating() const { return running_depth_ > 0; }
    void set_step_limit(uint64_t steps) {
        step_limit_ = steps;
        steps_ = 0;
        set_call_check();
    }
    Symbols& syms() { return *syms_; }
    // A top-level variable, as the host's add(var(x), "name") makes.
    void set_top(const std::string& name, Value v);
    // Values handed over by the host may end up in cycles with the engine's own values.
    void adopt(const Value& v) {
        TrackingScope tracking(&tracker);
        if (Box* c = v.cell()) {
            track_box(*c);
            track_box(*v.box());
        }
    }
    // Host types, base classes or conversions changed: choices remembered at call sites may too.
    void types_changed() { ++epoch_; }

    // ---- Context ----
    std::string to_text(const Value& v, const Node* site = nullptr) override;
    bool truth(const Value& v, const Node* site = nullptr, const char* why = "Condition not boolean") override;
    std::string type_name(const Value& v) override;
    std::string type_desc(const Value& v) override;
    Value binary(OpCode op, const Value& l, const Value& r) override { return binary_values(op, nullptr, l, r, nullptr); }
    Value new_object(std::string_view cls) override;
    Value call_value(const Value& fn, Args a, const Node* site = nullptr, const Value* self = nullptr) override;
    Value call_named(std::string_view name, Args a) override;
    Value try_call(std::string_view name, Args a) override;
    const FnList* functions(std::string_view name) override;
    Value function_value(std::string_view name) override;
    Value lookup(std::string_view name) override;
    bool guard_accepts(const Callable& f, Args a) override { return f.guard_ok(*this, a, nullptr); }
    Ctl& control() override { return ctl_; }
    TypeKey resolve_type(const std::string& name) override;
    int match(const TypeKey& t, const Value& v) override;
    void add_type_conversion(const TypeKey& from, const TypeKey& to, const Value& fn) override;
    HostRegistry& registry() override { return reg_; }
    Value eval_text(const std::string& text, const std::string& filename) override;
    Value eval_file(const std::string& path) override;
    Value use_file(const std::string& path) override;
    Value eval_tree(const std::shared_ptr<Tree>& tree, const std::vector<uint32_t>& path) override;
    void prepare(Program& p) override;
    std::shared_ptr<Symbols> symbols() override { return syms_; }
    void add_global(const std::string& name, Value v) override;
    void set_global(const std::string& name, Value v) override;
    Map visible_objects() override;
    void each_function(const std::function<void(const std::string&, const FnList&)>& f) override;
    std::vector<std::string> class_names() override;
    bool is_class(const std::string& name) override {
        const Symbol* s = syms_->find(name);
        return s && s->cls;
    }
    // Every call: the stack's room, its deepest point so far, and the step count.
    void check_stack(const Node* site) override {
        char probe = 0;
        const auto here = reinterpret_cast<uintptr_t>(&probe);
        // Only a point deeper than any so far can be past the limit: each of those was checked
        // against it (a run sets both afresh).
        if (here < low_water_) {
            if (here < stack_limit_) depth_exceeded(site);
            low_water_ = here;
        }
        // Out of line: the failure's text would enlarge every call's C++ frame.
        if (tracker.size() >= call_check_at_) count_step_apart(site);
    }
    void count_step_apart(const Node* site);
    // Nested code recurses in C++ as deep as it nests: every level of it looks at the stack.
    void check_depth(const Node* site) {
        if (stack_below(stack_limit_)) depth_exceeded(site);
    }
    [[noreturn]] void depth_exceeded(const Node* site);
    // Every loop turn and call: the step limit, and the cycle collector when it is due.
    void count_step(const Node* site) override {
        if (step_limit_ && ++steps_ > step_limit_) fail(site, "Evaluation step limit reached");
        if (tracker.size() >= collect_at_) collect_cycles();
    }
    // Collects again once `boxes` more are tracked (tests; 0 restores the usual pace).
    void set_collect_interval(size_t boxes) {
        collect_interval_ = boxes;
        collect_at_ = tracker.size() + (boxes ? boxes : kCollectMin);
        set_call_check();
    }

    // ---- functions (dispatch.cpp, overloads.cpp) ----
    void add_function(Symbol& s, FuncRef f, const Node* site = nullptr);
    // Selects and runs an overload; unset when nothing matched (reports nothing).
    // declined: set when the failure was a library or host function refusing the values.
    Value try_dispatch(const FnList& fns, Args a, const Value* self, const Node* site, const Symbol* sym,
                       bool* declined = nullptr);
    Value dispatch(const FnList& fns, Args a, const Node* site, const std::string& name, const Value* self = nullptr,
                   const Symbol* sym = nullptr);
    Value call_symbol(Symbol& s, Args a, const Node* site);
    [[noreturn]] void not_a_function(const Node* site);
    [[noreturn]] void conversion_failed(const FnList& fns, Args a, const Node* site, const std::string& name);
    [[noreturn]] void dispatch_failed(const FnList& fns, Args a, const Node* site, const std::string& name,
                                      bool dot_form);
    Value call_script(const ScriptFn& f, Args a, const Value* self);
    // A plain script function, or a plain method, called without an object (see Callable::plain).
    Value call_plain(const ScriptFn& f, Args a);
    Value call_plain_method(const ScriptFn& f, Args a);
    // A call site's arguments given to the plain script function or method of the name s that
    // takes them without any choosing or that the site chose for them before; the site drops
    // them after. Unset: s has no such function.
    inline Value lone_call(const Symbol& s, Args a, const Node* site, bool dot_form);
    // call_value from a call site that drops the arguments after.
    Value call_value_dropped(const Value& fn, Args a, const Node* site);
    bool script_guard(const ScriptFn& f, Args a, const Value* self);

    // ---- errors (trace.cpp) ----
    exception::AST_Node_Trace trace(const Node* n) const { return trace_of(n); }
    // Records call site n in e's call stack, after the nodes leading to it.
    void add_call_trace(exception::eval_error& e, const Node* n) const;
    // Adds the nodes enclosing the last one recorded, up to (not including) stop or the start
    // of the function or program that node is in: every node whose evaluation the error ended.
    void complete_trace(exception::eval_error& e, const Node* stop) const;
    // Names that definitions may not take; what: "function", "method", "global", "attribute".
    void check_name(const std::string& name, const char* what, const Node* site);

    // ---- evaluation ----
    Value eval(const Node* n);
    void exec(const Node* n);
    // A statement of a list: `if`, the usual one, goes straight to its own (its branch stays
    // predictable, and a lone return under it skips exec's general dispatch).
    void exec_statement(const Node* n) {
        if (n->kind == NK::If) exec_if(n);
        else exec(n);
    }
    Value eval_traced(const Node* n, const Node* stop) {
        try {
            return eval(n);
        } catch (exception::eval_error& e) {
            complete_trace(e, stop);
            throw;
        }
    }
    bool condition(const Node* n);
    Value binary_values(OpCode op, Symbol* fn, const Value& l, const Value& r, const Node* site);
    void assign(Value& dst, const Value& src, const Node* site);
    bool assign_builtin(Value& dst, const Value& src, const Node* site) override;
    // src stored into dst, an undefined value held directly (a new variable's slot).
    void store_into_empty(Value& dst, const Value& src, const Node* site);
    void assign_value(Value& dst, const Value& src) override { assign(dst, src, nullptr); }
    bool compound_builtin(OpCode op, Value& dst, const Value& src, const Node* site) override;
    Value literal_element(const Value& v, const Node* site, const char* uncopyable);
    const Value& no_value() const { return no_value_; }

    // ---- variables (variables.cpp) ----
    // Where a name node's variable is now; null when it names none.
    Value* var_slot(const Node* id);
    // No variable can take the name node id (nothing eval'd declared in the frame, no global, no
    // top-level variable, no local): var_slot would find none, so callers need not ask it.
    bool names_no_variable(const Node* id) const;
    Value* find_by_name(const std::string& name, Symbol* sym);
    Value& declare(const Node* decl);
    // A name that is no variable: its functions, a type's Type_Info (T_type), or an error.
    Value lookup_name(const Symbol* s, const std::string& name, const Node* site);

    Frame* frame() { return frame_; }
    // An attribute's id in an object's names (the object may come from another engine).
    uint32_t attr_id(const DynObject& o, const Symbol& s);

private:
    friend struct FrameScope;
    Value enter_new(Value (*body)(void*), void* fn);
    // A break or continue (c) that left the text or the host's call it ran in.
    [[noreturn]] void outside_loop(Ctl c);
    void collect_cycles();
    // Parses and resolves a text.
    std::shared_ptr<Tree> parse(const std::string& text, const std::string& filename, Mode mode);
    // Runs a tree's current version from node (its root when null) in a frame of its own.
    Value run(const std::shared_ptr<Tree>& tree, const Node* node, Mode mode);
    Value eval_id(const Node* n);
    Value eval_assign(const Node* n);
    // An assignment as a statement: its value is not needed.
    void exec_assign(const Node* n);
    // `obj.name = x`, x a number in a declared variable or a literal and the attribute a number
    // of its kind: stored in place, the attribute given back. Null, nothing done, for anything else.
    Value* store_attr_number(const Node* n);
    Value eval_binary(const Node* n);
    Value eval_prefix(const Node* n);
    Value eval_call(const Node* n);
    // target: obj.name is being assigned, so a function in the attribute is replaced, not called.
    // ref: an attribute comes back as its shared box.
    Value eval_dot(const Node* n, bool target = false, bool ref = false);
    Value dot_fallbacks(const Node* n, Args a, const Value& obj);
    // Call or method site n whose cache holds the intrinsic k (see cached_intrinsic): its
    // arguments are evaluated here and k runs when they are of the types it was chosen for;
    // otherwise the general way takes the evaluated arguments.
    template <bool Call> Value intrinsic_site(const Node* n, const Callable& k, bool target, bool ref);
    // The same for an operator site's evaluated operands; unset: the site takes the general way.
    Value operator_intrinsic(const Node* site, const Callable& k, Args a);
    // binary_values at operator site n for operands its caller owns: where one is a
    // sole_fresh_string and the site keeps the library's join for their types, l + r is made in
    // that string's box.
    Value binary_operands(const Node* n, Value& l, Value& r);
    // `a == b` or `a != b` on strings in variables or literals, read where they are, where site n
    // keeps the library's comparison for them: its truth in out. False: the general way decides.
    bool strings_compared(const Node* n, bool& out);
    // intrinsic_site for a method site with one argument: k run on a container variable and a
    // number read or computed in place (v.push_back(i % 10)) without building their Values.
    Value intrinsic_on_number(const Node* n, const Callable& k, bool target, bool ref);
    // A number argument read in place or computed, as intrinsic_on_number takes it.
    inline bool number_arg(const Node* e, Number& x, Value*& var);
    // The general way of calls and of obj.name(args), kept apart from the sites' intrinsics so
    // that those do not pay for its frame. call_name and dot_call take evaluated arguments: the
    // intrinsic sites' way back; the general way has their bodies inline (named_call, method_call).
    // N: the call's number of arguments, held in place; 0: any number, held in a list.
    template <size_t N> Value eval_call_general(const Node* n);
    Value eval_dot_general(const Node* n, bool target, bool ref);
    Value call_name(const Node* n, Args a);
    Value dot_call(const Node* n, Args a, bool target, bool ref);
    inline Value named_call(const Node* n, Args a);
    inline Value method_call(const Node* n, Args a, bool target, bool ref);
    Value eval_index(const Node* n, bool ref);
    Value index_values(const Value& c, const Value& i, const Node* site, bool ref);
    Arg eval_arg(const Node* n);
    // eval_arg of an operator.
    Arg binary_arg(const Node* n);
    // eval_arg with a declared variable's case in place, for the sites that pass many of them.
    inline Arg site_arg(const Node* n);
    Value eval_ref(const Node* n);
    Value eval_container(const Node* n);
    Value eval_interp(const Node* n);
    Value eval_lambda(const Node* n);
    Value eval_def(const Node* n);
    Value eval_class(const Node* n);
    Value eval_block(const Node* n);
    // A block's statements in the current scope; the last one's value.
    Value eval_statements(const Node* n);
    void exec_block(const Node* n);
    void exec_loop_body(const Node* body);
    void exec_scoped_block(const Node* n);
    // What a function returns: the value, or for a variable of the caller's world (a global, an
    // element, an attribute) that variable itself.
    Value eval_result(const Node* n);
    // eval, with a call, an operator or a member going straight to its own evaluation (one C++
    // frame less); Ids: a declared variable's value read in place too.
    template <bool Ids = false> inline Value eval_operand(const Node* n);
    void exec_if(const Node* n);
    // exec_if for `if (c) { return e }` (see F_IfReturn).
    void exec_if_return(const Node* n);
    inline bool run_if_return(const Node* g, Value& r);
    inline bool run_if_return(const Node* g, const Node* c, const Node* e, Value& r);
    void exec_branch(const Node* b);
    void exec_return(const Node* n);
    template <NK K> void exec_kind(const Node* n);
    Value eval_if(const Node* n);
    Value eval_while(const Node* n);
    Value eval_for(const Node* n);
    Value eval_switch(const Node* n);
    Value eval_try(const Node* n);
    bool catch_matches(const Node* c, const Value& v);
    Value eval_decl(const Node* n);
    Value eval_bind(const Node* n);
    void compound_assign(const Node* n, Value& dst, const Value& src);
    void assign_target(const Node* lhs, const Node* n, const Value& rhs);
    Value* place_of(const Node* lhs, Value& holder);
public:
    // ---- numeric fast paths (fast_paths.hpp) ----
    // A side-effect-free numeric operand (constants, variables, attributes, arithmetic on them)
    // computed without boxes; false when n is not of that shape or a value is not a number.
    inline bool fast_num(const Node* n, Number& out);
    bool arith(const Node* n, Number& out);
    // What fast_num computes, and also conversions of one number that their call sites chose
    // before (int(x), double(x)) and arithmetic on such operands; false, nothing having shown,
    // for anything else.
    bool num_expr(const Node* n, Number& out);
    // num_expr, its commonest operands read inline; num_leaf: only variables, literals and
    // kept conversions of literals.
    inline bool num_operand(const Node* n, Number& out);
    inline bool num_leaf(const Node* n, Number& out);
    // Call site n, whose cache holds the conversion k, with its argument computed by num_expr.
    inline bool convert_call(const Node* n, const Callable& k, Number& out);
    // The same for ints, the commonest case (loop counters, indexes). Callers make sure no
    // eval'd code declared variables in the frame (they may hide slots).
    inline bool int_operand(const Node* n, int32_t& out);
    // An argument of int arithmetic computed in place (i % 3), as eval would; false otherwise.
    inline bool int_arg(const Node* n, int32_t& out);
    bool int_arith(const Node* n, int32_t& out);
    // A condition without leaving the caller (loop conditions, if): a comparison of ints, or of
    // doubles in variables and literals, when it is one; else double_condition: the same through
    // boxes, or the general evaluation.
    inline bool test(const Node* n);
    inline bool test_locals(const Node* n);
    bool double_condition(const Node* n);
    // A comparison with a size (F_CmpSize), both sides computed in place: condition's short way
    // for it, without condition's set-up; condition decides anything else.
    bool size_condition(const Node* n);
    // size_condition's usual form, an int variable or literal against v.size(), without calls:
    // false in `done` for any other.
    inline bool size_test(const Node* n, bool& done);
    // A comparison's operand: a container variable's size the site keeps the library's for
    // (fast::size_of), or a number fast_num computes.
    bool size_operand(const Node* k, Number& out);
    // `x op= y` as a statement, computed in place where the operands allow it (double_compound
    // for doubles, compound_in_place for other numbers); false when nothing was done.
    inline bool compound_statement(const Node* n);
    inline bool double_compound(const Node* n);
    // ++i / --i of an int local or top-level variable: the usual loop step.
    inline bool int_step(const Node* n);
    // A loop body: a block's statements, `if` taken inline (the usual statement of a loop).
    void run_body(const Node* body);
    // obj.name as a plain read of a script object's attribute, or null.
    Value* attr_slot(const Node* n);
    // obj.name as the place an assignment stores to when attr_slot has none: the attribute made
    // new, where no function or fallback of the name could have a say; else null.
    Value* new_attr_place(const Node* n);
    // Whether a script defined method_missing (the library's own serves direct calls only).
    bool script_method_missing() const;

private:
    bool slow_num(const Node* n, Number& out);
    bool step_in_place(const Node* n);
    bool compound_in_place(const Node* n);
    // compound_in_place for the F_Compound shape: its operand read inline, on a small frame.
    bool compound_leaf(const Node* n);
    // compound_in_place for a right side that is a call: its kept conversion judged once, for both.
    bool compound_converted(const Node* n);
    bool compound_by_conversion(const Node* n, const Callable& k);
    // Their shared way (conversion: the one the right side's call site keeps, judged by the caller;
    // null otherwise).
    inline bool compound_number(const Node* n, const Callable* conversion);
    bool compound_immediate(OpCode op, Value& place, const Number& x);
    void add_attribute(Symbol& cls, Symbol& attr, const Node* site);
    void new_functions(Symbol& s, FnListRef list);
    Value call_member_value(const FnList& fns, Args a, const Node* site);
    Value call_attr_function(const Value& fn, Args a, const Node* site, const Value& obj);
    // chosen: set to the function that ran when the argument types alone decided it.
    Value resolve(const FnList& fns, Args a, const Value* self, const Callable** chosen, bool* declined);
    // Calls f with arguments converted to its parameter types by script conversions (and, if
    // `numbers`, numeric casts); false when they do not convert or f's guard refuses them.
    bool call_converted(const Callable& f, Args a, const Value* self, bool numbers, Value& result);
    const ScriptConversion* script_conversion(const TypeKey& t, const Value& v) const;
    // Binds a call's arguments to the parameters of f's new frame. lazy: a fresh immediate is
    // stored as it is (bit i of the result: parameter i); else every shared parameter is a box.
    uint32_t bind_params(const ScriptFn& f, Args a, const Value* self, const Value& obj, bool lazy);
    // A script call of that shape, which leaves out what cannot apply to it.
    // Guarded: f's body may open with a lone `if (c) { return e }` (ScriptFn::kGuardFirst), which
    // it then runs in its own C++ frame.
    template <CallShape S, bool Guarded = false> Value run_script(const ScriptFn& f, Args a, const Value* self);
    template <bool Dropped> Value call_function_value(const Value& fn, Args a, const Node* site, const Value* self);
public:
    // Drops the variables eval'd code declared in scopes from depth on (they are being left).
    void trim_dyn(int depth);

private:
    Mode mode_for_eval() const;

    std::shared_ptr<Symbols> syms_;
    HostRegistry reg_;
    SlotStack slots_;
    Frame* frame_ = nullptr;
    Ctl ctl_ = Ctl::None;
    Value ret_;
    Value no_value_;
    int running_depth_ = 0;  // evaluations under way (0: none)
    uintptr_t low_water_ = UINTPTR_MAX;  // deepest stack address a call reached in this run
    uintptr_t stack_limit_ = 0;          // engine_stack_limit() of the thread running it (0: none)
    uint32_t epoch_ = 1;     // changes with conversions (call sites compare it)
    uint64_t fn_seq_ = 1000000;
    uint64_t step_limit_ = 0, steps_ = 0;
    // Cycles are collected when this many boxes are tracked. After each collection the next one
    // waits for as many new boxes as it looked at live values, so the cost of going over what
    // lives is spread over the boxes made meanwhile, however large the live set is.
    static constexpr size_t kCollectMin = 4096;
    size_t collect_at_ = kCollectMin;
    // What check_stack compares the tracked boxes with: collect_at_, or none while a step limit
    // is set (every call then counts a step). One test for both on every call.
    size_t call_check_at_ = kCollectMin;
    void set_call_check() { call_check_at_ = step_limit_ ? 0 : collect_at_; }
    size_t collect_interval_ = 0;
    bool collecting_ = false;
    // Replaced tree versions: calls may still be running them.
    std::vector<ProgramRef> retired_programs_;
    std::vector<std::string> used_files_;
    std::vector<ScriptConversion> script_conversions_;
    // Names the evaluator calls itself.
    Symbol *s_to_string_, *s_assign_, *s_index_, *s_eq_, *s_method_missing_;

public:
    void retire(ProgramRef p) { retired_programs_.push_back(std::move(p)); }
};

// Whole text of a script file: only regular files up to 64 MiB (file_not_found_error otherwise).
std::string read_script_file(const std::string& path);
// A name node's label for messages.
inline const std::string& name_of(const Node* n) { return n->name; }

// Whether no variable takes the name of s, named through a Global or Top reference r.
inline bool unset_as_variable(const Symbol& s, Ref r) {
    return s.global.is_unset() && (r == Ref::Global || s.top.is_unset());
}
// Whether no variable takes the name id (a named call's callee) stands for, running in frame f.
inline bool no_variable_named(const Frame& f, const Node* id) {
    // (The symbol is set for names outside any function's locals.)
    return !f.dyn && (id->ref == Ref::Global || id->ref == Ref::Top) && unset_as_variable(*id->symbol, id->ref);
}
inline bool Interp::names_no_variable(const Node* id) const { return no_variable_named(*frame_, id); }

}  // namespace chai
