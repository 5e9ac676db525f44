// The syntax tree built by the parser and walked by the evaluator.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "chai/errors.hpp"
#include "chai/runtime/value.hpp"

namespace chai {

enum class NK : uint8_t {
    File, Block, Const, InterpStr, Id, VarDecl, RefDecl, GlobalDecl, AttrDecl, Assign, Binary, And, Or,
    Ternary, Prefix, Call, Dot, Index, VectorLit, MapLit, MapPair, RangeLit, Lambda, Def, Class, If, While,
    For, Switch, Case, Default, Try, Catch, Finally, Return, Break, Continue, Noop
};

// Operator codes used by Binary, Prefix and Assign nodes.
enum class OpCode : uint8_t {
    Add, Sub, Mul, Div, Mod, Shl, Shr, BitAnd, BitOr, BitXor, Lt, Le, Gt, Ge, Eq, Ne,  // binary
    Assign, Bind, Neg, Plus, Not, Compl, Incr, Decr, None
};

struct ParamDecl {
    uint32_t name = 0;
    std::string type;  // empty: untyped
};

struct Node {
    // Hot fields first: evaluation of small expressions touches only these.
    NK kind = NK::Noop;
    OpCode op = OpCode::None;
    bool flag = false;        // Dot: has parentheses; Def: has guard; Catch: has guard
    uint32_t name = 0;        // identifier (interned)
    // Variables: frame-relative slot found last time, valid while no variable was shadowed.
    mutable uint32_t slot = 0;
    mutable uint32_t slot_epoch = 0;
    // Calls: the overload chosen last time for the same argument types (see try_dispatch).
    mutable uint32_t cache_gen = 0;
    mutable uint64_t cache_sig = 0;
    mutable const void* cache_list = nullptr;
    mutable const struct Callable* cache_fn = nullptr;
    uint32_t name2 = 0;       // class name for methods/attributes
    const Node* first = nullptr;   // kids[0] and kids[1], for quick access
    const Node* second = nullptr;
    BoxRef value;             // constants
    std::vector<std::unique_ptr<Node>> kids;
    int height = 1;           // tree height, bounded so evaluation and destruction stay shallow
    File_Position start, end;
    std::shared_ptr<const std::string> file;
    std::string text;         // operator text, annotation, type names
    std::vector<ParamDecl> params;
    std::vector<uint32_t> captures;
    const Node* parent = nullptr;  // for error call stacks

    Node* kid(size_t i) const { return kids[i].get(); }
};

// Points every child of n at n (and so on down when deep).
void adopt_kids(Node& n, bool deep);

using NodePtr = std::unique_ptr<Node>;

// Keeps a parsed program alive for as long as functions defined in it exist.
struct Program {
    NodePtr root;
    std::string source;
    // Subtrees taken out by replace_child: functions or a running evaluation may still use them.
    mutable std::vector<NodePtr> retired;
};
using ProgramRef = std::shared_ptr<const Program>;

// Interned identifiers, shared by all engines of the process.
uint32_t intern(const std::string& s);
const std::string& name_of(uint32_t id);

// Re-prints a node the way error traces show code.
std::string node_text(const Node& n);
// What a node names or spells: identifiers and declarations their name, operators their
// symbol, literals their text; empty for most compound nodes.
std::string node_label(const Node& n);
// Name of a node kind as scripts see it ("Block", "Fun_Call", ...).
const char* node_kind_name(NK k);

}  // namespace chai
