// A parsed and resolved program: its tree, and what the resolver made for it (frame layouts,
// literal values, call-site caches). Frozen once it can run; editing a tree through reflection
// makes a new version (see Tree).
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "chai/runtime/callable.hpp"
#include "chai/runtime/stable_list.hpp"
#include "chai/runtime/value.hpp"
#include "chai/syntax/tree.hpp"

namespace chai {

class Symbols;
struct Callable;

// Shapes the evaluator takes a short way (Node::fast): numeric operands read without boxes,
// comparisons, and loop steps. Binary nodes also tell whether their operands are locals (L) or
// literals (C), so the commonest ones are computed in a few instructions.
enum Fast : uint8_t {
    F_None,
    F_Local,  // a local variable
    F_Top,    // a top-level variable of the program's own code
    F_Const,  // a number literal
    F_Attr,   // obj.name without parentheses: an attribute of a script object, usually
    F_Step,   // ++x or --x of a local variable
    F_StepTop,  // ++x or --x of a top-level variable
    F_Arith, F_ArithLL, F_ArithLC,  // arithmetic (+ - * / % << >> & | ^) on two operands
    F_Cmp, F_CmpLL, F_CmpLC, F_CmpXC,  // comparisons (X: any operand)
    F_Compound,  // x op= y (+ - * /), x a variable, y a variable, a number literal or a F_Converted
    F_Converted,  // a named call of one number literal (double(11)): a conversion while its site keeps one
    F_IfReturn,  // if (c) { return e }: one condition, no else, a block of the return alone
    F_CmpSize,  // a comparison with v.size() (a loop's bound) of another or of a variable, number
                // literal or arithmetic
};
inline bool is_variable(uint8_t f) { return f == F_Local || f == F_Top; }
inline bool is_arith(uint8_t f) { return f >= F_Arith && f <= F_ArithLC; }
inline bool is_comparison(uint8_t f) { return f >= F_Cmp && f <= F_CmpXC; }

// How a captured variable is found where a lambda is made.
struct CaptureSource {
    Ref ref = Ref::None;
    uint32_t slot = 0;
    Symbol* symbol = nullptr;
    std::string name;
};

// The frame layout of a function body or a program: one slot per local variable. Sibling blocks
// reuse slots; a slot is unset while its variable is not declared.
struct FnInfo {
    uint32_t nslots = 0;
    struct SlotDecl {
        std::string name;  // for eval'd code that finds variables by name
        uint16_t depth;    // block depth of the slot's scope
    };
    std::vector<SlotDecl> slot_decls;
    int32_t this_slot = -1;
    bool this_by_value = false;
    std::vector<uint32_t> param_slots;
    // Bit i: parameter i is only read, so it needs no reference to the caller's variable
    // (parameters after the 64th always take one).
    uint64_t params_by_value = 0;
    std::vector<uint32_t> capture_slots;
    std::vector<CaptureSource> capture_from;  // Lambda: where each capture is found
    std::string duplicate_param;              // two parameters of this name: calls fail

    uint32_t add_slot(const std::string& name, uint16_t depth) {
        if (nslots == 0) slot_decls.reserve(8);  // room for the usual few at once
        slot_decls.push_back({name, depth});
        return nslots++;
    }
};

// What a call site or operator chose last time, valid while the functions of its name and the
// engine's conversions are unchanged and the arguments have the same types.
struct SiteCache {
    const Symbol* sym = nullptr;  // whose functions (library names all have version 0)
    uint64_t version = 0;
    uint32_t epoch = 0;
    Choice choice;
    // A conversion of literals gives the same number while its choice holds: kept here.
    const Callable* folded_by = nullptr;
    Value folded;
};

enum class Mode : uint8_t {
    Unresolved,
    Static,   // file-level code of the host's texts and files: top-level variables by record
    Dynamic,  // code eval'd inside a function or block: outer names found by name at run time
};

struct Program {
    NodePtr root;
    std::shared_ptr<Symbols> symbols;  // the records resolved names point at
    Mode mode = Mode::Unresolved;
    // Made by the resolver.
    StableList<FnInfo, 4> frames;
    StableList<Value, 16> constants;
    StableList<SiteCache, 32> sites;
};
using ProgramRef = std::shared_ptr<const Program>;

// A tree that reflection may edit: the version now current. Functions defined from it and syntax
// tree values refer to it; every edit makes a new version.
struct Tree {
    std::shared_ptr<const Program> current;
};

// A tree whose current version is a new, unresolved program around a parsed root.
std::shared_ptr<Tree> make_tree(NodePtr root, std::shared_ptr<Symbols> symbols);

}  // namespace chai
