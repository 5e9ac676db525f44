// What library and host functions may ask of the engine that calls them: calling functions,
// text and truth of values, types, evaluating more text. The evaluator's own state stays behind.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "chai/runtime/callable.hpp"
#include "chai/runtime/names.hpp"
#include "chai/syntax/tree.hpp"

namespace chai {

struct Node;
struct Tree;
class HostRegistry;

enum class Ctl : uint8_t { None, Break, Continue, Return };

// A break or continue leaving the function it ran in (Ctl::Break or Ctl::Continue): the loop
// around the call, however far up, takes it at once; the rest of the caller's expression is
// never evaluated.
struct LoopJump {
    Ctl ctl;
};

// A value thrown by throw(); leaves the engine as exception::uncaught_throw.
struct ScriptThrow {
    Value value;
};

class Context {
public:
    virtual ~Context() = default;

    // ---- values ----
    // to_string of a value (through script overloads for objects).
    virtual std::string to_text(const Value& v, const Node* site = nullptr) = 0;
    // A condition's value: a bool, else an eval error.
    virtual bool truth(const Value& v, const Node* site = nullptr, const char* why = "Condition not boolean") = 0;
    virtual std::string type_name(const Value& v) = 0;
    // "const int" style, for error messages.
    virtual std::string type_desc(const Value& v) = 0;
    // l op r as a script writes it: native for two numbers, else the operator's overloads.
    virtual Value binary(OpCode op, const Value& l, const Value& r) = 0;
    virtual Value new_object(std::string_view cls) = 0;
    // dst = src and dst op= src for the language's own types; false where only an overload could.
    virtual bool assign_builtin(Value& dst, const Value& src, const Node* site) = 0;
    // dst = src as the statement does it (overloads of `=` included).
    virtual void assign_value(Value& dst, const Value& src) = 0;
    virtual bool compound_builtin(OpCode op, Value& dst, const Value& src, const Node* site) = 0;

    // ---- calls ----
    virtual Value call_value(const Value& fn, Args a, const Node* site = nullptr, const Value* self = nullptr) = 0;
    // A call of a named function, failing like the same call in a script.
    virtual Value call_named(std::string_view name, Args a) = 0;
    // Unset when no overload takes the arguments (nothing is reported).
    virtual Value try_call(std::string_view name, Args a) = 0;
    // Null when the name has no functions.
    virtual const FnList* functions(std::string_view name) = 0;
    // The functions of a name as one value; unset when there are none.
    virtual Value function_value(std::string_view name) = 0;
    // What a name means where the library function was called: a variable, else its functions.
    virtual Value lookup(std::string_view name) = 0;
    // Whether f's guard takes these arguments.
    virtual bool guard_accepts(const Callable& f, Args a) = 0;
    virtual Ctl& control() = 0;

    // ---- types ----
    virtual TypeKey resolve_type(const std::string& name) = 0;
    // 0: exact, 1: needs a conversion, 2: accepted (untyped), -1: no.
    virtual int match(const TypeKey& t, const Value& v) = 0;
    virtual void add_type_conversion(const TypeKey& from, const TypeKey& to, const Value& fn) = 0;
    virtual HostRegistry& registry() = 0;

    // ---- evaluation ----
    virtual Value eval_text(const std::string& text, const std::string& filename) = 0;
    virtual Value eval_file(const std::string& path) = 0;
    virtual Value use_file(const std::string& path) = 0;
    // Runs a syntax tree value in the caller's scope: node is the tree's root or a node of it.
    virtual Value eval_tree(const std::shared_ptr<Tree>& tree, const std::vector<uint32_t>& path) = 0;
    // Resolves a program made by editing a tree (its function bodies can run).
    virtual void prepare(struct Program& p) = 0;
    virtual std::shared_ptr<Symbols> symbols() = 0;

    // ---- globals and reflection ----
    virtual void add_global(const std::string& name, Value v) = 0;
    virtual void set_global(const std::string& name, Value v) = 0;
    // Variables visible where the library function was called, and globals.
    virtual Map visible_objects() = 0;
    // Every name with functions, in name order.
    virtual void each_function(const std::function<void(const std::string&, const FnList&)>& f) = 0;
    virtual std::vector<std::string> class_names() = 0;
    virtual bool is_class(const std::string& name) = 0;

    // ---- limits ----
    virtual void check_stack(const Node* site) = 0;
    virtual void count_step(const Node* site) = 0;
    // An eval error at site (its call stack begins there).
    [[noreturn]] void fail(const Node* site, const std::string& reason, const std::string& params = {},
                           const std::string& detail = {});
};

}  // namespace chai
