// The language's operators, listed once: the parser, the evaluator, number arithmetic and the
// library's operator functions all take their codes and spellings from here.
#pragma once
#include <cstdint>

namespace chai {

// Operator codes of Binary, Prefix and Assign nodes. The first sixteen are the binary operators,
// which numbers compute themselves (num_binary, num_compare).
enum class OpCode : uint8_t {
    Add, Sub, Mul, Div, Mod, Shl, Shr, BitAnd, BitOr, BitXor, Lt, Le, Gt, Ge, Eq, Ne,  // binary
    Assign, Bind, Neg, Plus, Not, Compl, Incr, Decr, None
};

inline constexpr int kBinaryOpCount = static_cast<int>(OpCode::Ne) + 1;
// How each binary operator is written, in the order of its code.
inline constexpr const char* kBinaryOpText[kBinaryOpCount] = {
    "+", "-", "*", "/", "%", "<<", ">>", "&", "|", "^", "<", "<=", ">", ">=", "==", "!="};

inline bool is_binary(OpCode op) { return op <= OpCode::Ne; }
inline bool is_comparison(OpCode op) { return op >= OpCode::Lt && op <= OpCode::Ne; }
// op must be binary.
inline const char* binary_text(OpCode op) { return kBinaryOpText[static_cast<int>(op)]; }

}  // namespace chai
