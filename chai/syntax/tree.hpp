// The syntax tree built by the parser. Names and literals are kept as written; before a tree first
// runs, the resolver binds them (slots, name records, literal values) and from then on nothing in
// the tree changes: an edit through reflection makes a changed copy.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "chai/errors.hpp"
#include "chai/syntax/operators.hpp"

namespace chai {

// Filled in by the resolver (runtime/resolve.hpp); the tree only points at them.
struct Symbol;
struct FnInfo;
struct SiteCache;
class Value;

enum class NK : uint8_t {
    File, Block, Const, InterpStr, Id, VarDecl, RefDecl, GlobalDecl, AttrDecl, Assign, Binary, And, Or,
    Ternary, Prefix, Call, Dot, Index, VectorLit, MapLit, MapPair, RangeLit, Lambda, Def, Class, If, While,
    For, Switch, Case, Default, Try, Catch, Finally, Return, Break, Continue, Noop
};

// What a Const node spells.
enum class Literal : uint8_t { None, Integer, Floating, String, Char, Bool, Infinity, NaN };

// Where a name is found at run time, as the resolver decided.
enum class Ref : uint8_t {
    None,
    Local,    // a slot of the running function's frame
    Top,      // a top-level variable, else a global, else functions (code outside functions)
    Global,   // a global, else functions (code inside functions)
    Dynamic,  // by name through the frames an eval'd text runs in, then as Top
};

struct Node;

// Room for nodes' children: trees are made and dropped whole, so freed arrays of the few usual
// lengths wait in a process-wide store for the next tree (see tree.cpp).
void* take_kids_room(size_t bytes);
void give_kids_room(void* p, size_t bytes) noexcept;
template <class T> struct KidsAllocator {
    using value_type = T;
    KidsAllocator() = default;
    template <class U> KidsAllocator(const KidsAllocator<U>&) {}
    T* allocate(size_t n) { return static_cast<T*>(take_kids_room(n * sizeof(T))); }
    void deallocate(T* p, size_t n) noexcept { give_kids_room(p, n * sizeof(T)); }
    template <class U> bool operator==(const KidsAllocator<U>&) const { return true; }
    template <class U> bool operator!=(const KidsAllocator<U>&) const { return false; }
};
using Kids = std::vector<std::unique_ptr<Node>, KidsAllocator<std::unique_ptr<Node>>>;

struct ParamDecl {
    std::string name;
    std::string type;  // empty: untyped
};

// What only declarations carry, kept apart so that the many other nodes are smaller and quicker
// to make and to free.
struct DeclParts {
    std::string class_name;  // Def of a method or constructor, AttrDecl
    std::string annotation;  // Def: the `#` lines before it
    std::vector<ParamDecl> params;      // Def, Lambda, Catch
    std::vector<std::string> captures;  // Lambda
};

struct Node {
    NK kind = NK::Noop;
    OpCode op = OpCode::None;
    Literal literal = Literal::None;  // Const: what the text spells
    uint8_t minus = 0;                // Const: unary minus signs folded into the literal
    bool parens = false;     // Dot: the member is called with parentheses
    bool guarded = false;    // Def, Catch: a guard expression follows
    bool reference = false;  // GlobalDecl: `global &name`

    // ---- set by the resolver before the first run ----
    Ref ref = Ref::None;
    uint8_t fast = 0;                 // numeric shape the evaluator takes a short way (runtime::Fast)
    uint16_t depth = 0;               // block depth in its function (scopes: the depth they open)
    uint32_t slot = 0;                // Local: the frame slot
    uint32_t slot_end = 0;            // Block, For, Switch, Catch: slots [slot, slot_end) are its scope's
    Symbol* symbol = nullptr;         // the name's record; operators and members: their functions
    Symbol* class_symbol = nullptr;   // Def of a method or constructor, AttrDecl, Class
    FnInfo* frame = nullptr;          // Def, Lambda, File, Block: frame layout / slots to clear
    const Value* constant = nullptr;  // Const
    // The numeric short ways keep copies of their operands' places in their own node, read with one
    // load fewer: a comparison or arithmetic over locals and literals its left local's slot in slot,
    // a right local's in slot_end, a right literal in constant; `x op= y` its target's slot, or the
    // record of a top-level target in class_symbol, and a literal operand in constant; a kept
    // conversion of a literal its callee's record in class_symbol.
    SiteCache* site = nullptr;        // calls, operators, members: what dispatch chose last time

    const Node* first = nullptr;  // kids[0] and kids[1], for quick access
    const Node* second = nullptr;
    Kids kids;
    const Node* parent = nullptr;  // for error call stacks

    std::string name;                 // identifiers, declared and defined names, members
    std::string text;                 // literals and operators as written
    std::unique_ptr<DeclParts> decl;  // null: none of its parts set

    int height = 1;  // tree height, bounded so evaluation and destruction stay shallow
    File_Position start, end;
    // The file a tree was read from is held by its root (and by the root of a copy grafted into
    // another tree), not by every node: most nodes are made and dropped without ever being named
    // in an error.
    std::shared_ptr<const std::string> file;
    const std::shared_ptr<const std::string>& file_record() const;
    const std::string& file_name() const;

    Node* kid(size_t i) const { return kids[i].get(); }

    const DeclParts& parts() const {
        static const DeclParts none;
        return decl ? *decl : none;
    }
    const std::string& class_name() const { return parts().class_name; }
    const std::string& annotation() const { return parts().annotation; }
    const std::vector<ParamDecl>& params() const { return parts().params; }
    const std::vector<std::string>& captures() const { return parts().captures; }
    // The parts to fill in, made on first use.
    DeclParts& decl_parts() {
        if (!decl) decl = std::make_unique<DeclParts>();
        return *decl;
    }

    // Children by role, for the kinds of a fixed shape. The others: Binary, Assign, And, Or,
    // Index, Dot (the object, the member's arguments): first and second; Call: the callee, then
    // the arguments; If: condition and branch pairs, then the else branch; Switch: the value,
    // then Case and Default nodes; Try: the block, Catch nodes, a Finally node last.
    // Def, Lambda, Catch, Finally, Case, Default, While, For: the statements run.
    const Node* body() const {
        switch (kind) {
        case NK::While: return second;
        case NK::For: return kid(3);
        case NK::Case: return second;
        default: return first;
        }
    }
    const Node* guard() const { return guarded ? kid(1) : nullptr; }  // Def, Catch
    const Node* otherwise() const { return kid(2); }                   // Ternary: the value when false
    const Node* condition() const {                                    // While, For (null: none), Ternary
        return kind == NK::For ? kid(1) : first;
    }
    const Node* loop_init() const { return kid(0); }  // For
    const Node* loop_step() const { return kid(2); }  // For
    const Node* finally_block() const {               // Try: its Finally node, if any
        return kids.back()->kind == NK::Finally ? kids.back().get() : nullptr;
    }

    // Each child is dropped from here, so a level of the tree takes few C++ frames to free.
    ~Node();

    // A host may run a script per call, making and dropping a tree each time: freed nodes are
    // kept for the next tree (see tree.cpp).
    static void* operator new(size_t size);
    static void operator delete(void* p) noexcept;
};

using NodePtr = std::unique_ptr<Node>;

// Points every child of n at n (and so on down when deep).
void adopt_kids(Node& n, bool deep);
// A deep copy of a subtree, unresolved.
NodePtr copy_tree(const Node& n);

// Re-prints a node the way error traces show code (where the stack is nearly gone, "..." stands
// for the rest: the text only labels an error).
std::string node_text(const Node& n);
// A pass over a tree reached the end of the stack at n: "Call stack depth exceeded" there.
[[noreturn]] void depth_exceeded_at(const Node& n);
// What a node names or spells: identifiers and declarations their name, operators their
// symbol, literals their text; empty for most compound nodes.
std::string node_label(const Node& n);
// Name of a node kind as scripts see it ("Block", "Fun_Call", ...).
const char* node_kind_name(NK k);

}  // namespace chai
