// Expression-level grammar and literals.
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "chai/syntax/parser.hpp"

namespace chai {

namespace {

bool is_number(Literal l) { return l == Literal::Integer || l == Literal::Floating || l == Literal::Char ||
                                  l == Literal::Infinity || l == Literal::NaN; }

struct Level {
    const char* name;
    const char* ops[4];
};
// Lowest precedence first; all left-associative.
const Level kLevels[] = {
    {"Logical_Or", {"||"}},           {"Logical_And", {"&&"}},
    {"Bitwise_Or", {"|"}},            {"Bitwise_Xor", {"^"}},
    {"Bitwise_And", {"&"}},           {"Equality", {"==", "!="}},
    {"Comparison", {"<", "<=", ">", ">="}}, {"Shift", {"<<", ">>"}},
    {"Addition", {"+", "-"}},         {"Multiplication", {"*", "/", "%"}},
};
constexpr int kLevelCount = 10;
constexpr int kAdditionLevel = 8;

OpCode binary_code_of(std::string_view s) {
    for (int i = 0; i < kBinaryOpCount; ++i)
        if (s == kBinaryOpText[i]) return static_cast<OpCode>(i);
    return OpCode::None;
}

// The levels' operators by first character: every operand is followed by a check for one, and
// most tokens there (`)`, `,`, `=`) are none.
class BinaryIndex {
public:
    BinaryIndex() {
        for (int l = 0; l < kLevelCount; ++l)
            for (const char* op : kLevels[l].ops)
                if (op)
                    for (Entry& e : by_first_[static_cast<unsigned char>(op[0])])
                        if (e.text.empty()) {
                            e = {op, l, binary_code_of(op)};
                            break;
                        }
    }
    // The level of a binary operator's text; -1 for other texts.
    int level(std::string_view s) const { return find(s).level; }
    // The code of a binary operator's text; None for other texts (and for `&&`, `||`).
    OpCode code(std::string_view s) const { return find(s).code; }

private:
    struct Entry {
        std::string_view text;
        int level = -1;
        OpCode code = OpCode::None;
    };
    const Entry& find(std::string_view s) const {
        static const Entry none;
        for (const Entry& e : by_first_[static_cast<unsigned char>(s[0])]) {
            if (e.text.empty()) break;
            if (spells(s, e.text)) return e;
        }
        return none;
    }
    Entry by_first_[256][4];
};

const BinaryIndex& binary_index() {
    static const BinaryIndex index;
    return index;
}

OpCode binary_code(std::string_view s) { return binary_index().code(s); }

constexpr std::string_view kAssignOps[] = {"=", ":=", "+=", "-=", "*=", "/=", "%=", "<<=", ">>=", "&=", "^=", "|="};

}  // namespace

NodePtr Parser::equation() {
    DepthGuard g(*this);
    auto lhs = expr();
    if (!lhs) return nullptr;
    // Every assignment operator ends in '=': most tokens after an operand are rejected at once.
    if (cur().kind == Tok::Op && !cur().text.empty() && cur().text.back() == '=')
        for (const std::string_view op : kAssignOps)
            if (spells(cur().text, op)) {
                auto n = make(NK::Assign, lhs->start);
                set_text(n->text, op);
                n->op = op == "=" ? OpCode::Assign : op == ":=" ? OpCode::Bind : binary_code(op.substr(0, op.size() - 1));
                ++pos_;
                skip_nl();
                auto rhs = equation();
                if (!rhs) fail("Incomplete equation");
                n->kids.reserve(2);
                n->kids.push_back(std::move(lhs));
                n->kids.push_back(std::move(rhs));
                return finish(std::move(n));
            }
    return lhs;
}

NodePtr Parser::expr() {
    auto c = binary(0);
    if (!c) return nullptr;
    while (accept_op("?")) {
        skip_nl();
        auto a = binary(0);
        if (!a || !accept_op(":")) fail("Incomplete Ternary Condition expression");
        auto b = binary(0);
        if (!b) fail("Incomplete Ternary Condition expression");
        auto n = make(NK::Ternary, c->start);
        n->kids.reserve(3);
        n->kids.push_back(std::move(c));
        n->kids.push_back(std::move(a));
        n->kids.push_back(std::move(b));
        c = finish(std::move(n));
    }
    return c;
}

NodePtr Parser::binary(int min_level) {
    auto lhs = unary();
    if (!lhs) return nullptr;
    for (;;) {
        if (cur().kind != Tok::Op) return lhs;
        // "a++b" / "i++": a doubled +/- in operator position is a binary op then a prefix op.
        // The token's first character is the binary operator; the rest stays as the prefix.
        if ((spells(cur().text, "++") || spells(cur().text, "--")) && min_level <= kAdditionLevel) {
            Token& t = toks_[pos_];
            const std::string_view op = t.text.substr(0, 1);
            t.text.remove_prefix(1);
            ++t.start.column;
            skip_nl();
            auto rhs = binary(kAdditionLevel + 1);
            if (!rhs) fail("Incomplete Addition expression");
            lhs = binary_node(NK::Binary, op, std::move(lhs), std::move(rhs));
            continue;
        }
        // Operators of lower levels end this operand's expression, as other tokens do.
        const int level = binary_index().level(cur().text);
        if (level < min_level) return lhs;
        const std::string_view op = cur().text;
        ++pos_;
        skip_nl();
        auto rhs = binary(level + 1);
        if (!rhs) fail(std::string("Incomplete ") + kLevels[level].name + " expression");
        NK kind = spells(op, "&&") ? NK::And : spells(op, "||") ? NK::Or : NK::Binary;
        lhs = binary_node(kind, op, std::move(lhs), std::move(rhs));
    }
}

NodePtr Parser::binary_node(NK kind, std::string_view op, NodePtr lhs, NodePtr rhs) {
    auto n = make(kind, lhs->start);
    n->op = binary_code(op);
    set_text(n->text, op);
    n->kids.reserve(2);
    n->kids.push_back(std::move(lhs));
    n->kids.push_back(std::move(rhs));
    return finish(std::move(n));
}

NodePtr Parser::unary() {
    DepthGuard g(*this);
    if (cur().kind == Tok::Op) {
        static constexpr std::string_view ops[] = {"++", "--", "-", "+", "!", "~"};
        static const OpCode codes[] = {OpCode::Incr, OpCode::Decr, OpCode::Neg, OpCode::Plus, OpCode::Not, OpCode::Compl};
        for (int i = 0; i < 6; ++i)
            if (spells(cur().text, ops[i])) {
                auto n = make(NK::Prefix, cur().start);
                n->op = codes[i];
                set_text(n->text, ops[i]);
                ++pos_;
                auto operand = unary();
                if (!operand) fail("Incomplete prefix '" + std::string(ops[i]) + "' expression");
                // Fold negative number literals so they cost nothing at run time.
                if (n->op == OpCode::Neg && operand->kind == NK::Const && is_number(operand->literal)) {
                    ++operand->minus;
                    operand->start = n->start;
                    operand->text = "-" + operand->text;  // error traces show it as written
                    return operand;
                }
                n->kids.push_back(std::move(operand));
                return finish(std::move(n));
            }
    }
    if (auto d = decl()) return d;
    return postfix();
}

NodePtr Parser::decl() {
    if (cur().kind != Tok::Ident || cur().quoted_ident) return nullptr;
    const std::string_view w = cur().text;
    if (spells(w, "var") || spells(w, "auto")) {
        ++pos_;
        if (accept_op("&")) {
            if (cur().kind != Tok::Ident) fail("Incomplete '&' expression");
            auto n = make(NK::RefDecl, cur().start);
            set_text(n->name, cur().text);
            ++pos_;
            return finish(std::move(n));
        }
        if (cur().kind != Tok::Ident) fail("Incomplete variable declaration");
        auto n = make(NK::VarDecl, cur().start);
        set_text(n->name, cur().text);
        ++pos_;
        return finish(std::move(n));
    }
    if (spells(w, "global") || spells(w, "GLOBAL")) {
        ++pos_;
        const bool reference = accept_op("&");
        if (cur().kind != Tok::Ident) fail(reference ? "Incomplete '&' expression" : "Incomplete global declaration");
        auto n = make(NK::GlobalDecl, cur().start);
        n->reference = reference;
        set_text(n->name, cur().text);
        ++pos_;
        return finish(std::move(n));
    }
    if (spells(w, "attr")) {
        ++pos_;
        if (cur().kind != Tok::Ident) fail("Incomplete attribute declaration");
        auto n = make(NK::AttrDecl, cur().start);
        set_text(n->decl_parts().class_name, cur().text);
        ++pos_;
        if (!accept_op("::")) fail("Incomplete attribute declaration");
        if (cur().kind != Tok::Ident) fail("Missing attribute name in definition");
        set_text(n->name, cur().text);
        ++pos_;
        return finish(std::move(n));
    }
    return nullptr;
}

void Parser::args(Node& call) {
    skip_nl();
    if (auto first = equation()) {
        call.kids.push_back(std::move(first));
        skip_nl();
        while (accept_op(",")) {
            skip_nl();
            auto a = equation();
            if (!a) fail("Unexpected value in parameter list");
            call.kids.push_back(std::move(a));
            skip_nl();
        }
    }
    if (!accept_op(")")) fail("Incomplete function call");
}

NodePtr Parser::postfix() {
    auto p = primary();
    if (!p) return nullptr;
    for (;;) {
        if (accept_op("(")) {
            auto n = make(NK::Call, p->start);
            n->kids.reserve(4);  // the callee and most calls' arguments: one piece of room
            n->kids.push_back(std::move(p));
            args(*n);
            p = finish(std::move(n));
        } else if (accept_op("[")) {
            auto n = make(NK::Index, p->start);
            auto i = expr();
            if (!i || !accept_op("]")) fail("Incomplete array access");
            n->kids.push_back(std::move(p));
            n->kids.push_back(std::move(i));
            p = finish(std::move(n));
        } else if (accept_op(".")) {
            if (cur().kind != Tok::Ident) fail("Incomplete dot access fun call");
            auto n = make(NK::Dot, p->start);
            set_text(n->name, cur().text);
            ++pos_;
            n->kids.reserve(is_op("(") ? 4 : 1);
            n->kids.push_back(std::move(p));
            if (accept_op("(")) {
                n->parens = true;
                args(*n);
            }
            p = finish(std::move(n));
        } else {
            return p;
        }
    }
}

NodePtr Parser::primary() {
    const Token& t = cur();
    switch (t.kind) {
    case Tok::Integer:
    case Tok::Float: return number_literal();
    case Tok::String: return string_literal();
    case Tok::Error: fail_at(t.parts[0].text, t.end);
    case Tok::Char: {
        auto n = make(NK::Const, t.start);
        n->literal = Literal::Char;
        n->text = t.parts[0].text;
        ++pos_;
        return finish(std::move(n));
    }
    case Tok::Op:
        if (spells(t.text, "(")) {
            DepthGuard g(*this);
            ++pos_;
            auto e = expr();
            if (!e) fail("Incomplete expression");
            if (!accept_op(")")) fail("Missing closing parenthesis ')'");
            return e;
        }
        if (spells(t.text, "[")) return container();
        return nullptr;
    case Tok::Ident: {
        if (!t.quoted_ident) {
            if (spells(t.text, "fun")) return lambda();
            // Other keywords are only keywords where a statement starts; inside an
            // expression they are plain names (`x = else` looks up a variable "else").
            if (spells(t.text, "true") || spells(t.text, "false")) {
                auto n = make(NK::Const, t.start);
                n->literal = Literal::Bool;
                set_text(n->text, t.text);
                ++pos_;
                return finish(std::move(n));
            }
            if (spells(t.text, "Infinity") || spells(t.text, "NaN")) {
                auto n = make(NK::Const, t.start);
                n->literal = spells(t.text, "NaN") ? Literal::NaN : Literal::Infinity;
                set_text(n->text, t.text);
                ++pos_;
                return finish(std::move(n));
            }
        }
        auto n = make(NK::Id, t.start);
        set_text(n->name, t.text);
        ++pos_;
        return finish(std::move(n));
    }
    default: return nullptr;
    }
}

NodePtr Parser::container() {
    DepthGuard g(*this);
    auto n = make(NK::VectorLit, cur().start);
    ++pos_;
    skip_nl();
    auto first = expr();
    if (!first) {
        if (!accept_op("]")) fail("Missing closing square bracket ']' in container initializer");
        n->start = toks_[pos_ - 1].end;  // brackets are not parts: an empty literal starts after them
        return finish(std::move(n));
    }
    n->start = first->start;
    if (accept_op("..")) {
        n->kind = NK::RangeLit;
        auto last = expr();
        if (!last) fail("Incomplete value range");
        n->kids.push_back(std::move(first));
        n->kids.push_back(std::move(last));
    } else if (is_op(":")) {
        n->kind = NK::MapLit;
        for (;;) {
            if (!accept_op(":")) fail("Incomplete map pair");
            auto v = expr();
            if (!v) fail("Incomplete map pair");
            auto pair = make(NK::MapPair, first->start);
            pair->kids.push_back(std::move(first));
            pair->kids.push_back(std::move(v));
            n->kids.push_back(finish(std::move(pair)));
            skip_nl();
            if (!accept_op(",")) break;
            skip_nl();
            File_Position at = cur().start;
            first = expr();
            if (!first || !is_op(":")) fail_at("Unexpected value in container", at);
        }
    } else {
        n->kids.reserve(4);
        n->kids.push_back(std::move(first));
        skip_nl();
        while (accept_op(",")) {
            skip_nl();
            auto e = expr();
            if (!e) fail("Unexpected value in container");
            n->kids.push_back(std::move(e));
            skip_nl();
        }
    }
    skip_nl();
    if (!accept_op("]")) fail("Missing closing square bracket ']' in container initializer");
    return finish(std::move(n));
}

NodePtr Parser::lambda() {
    auto n = make(NK::Lambda, cur().start);
    ++pos_;
    // The keyword is not a part: the node starts with its capture list (empty when absent,
    // right after the keyword).
    n->start = toks_[pos_ - 1].end;
    if (is_op("[")) {
        size_t k = pos_ + 1;
        while (k + 1 < toks_.size() && toks_[k].kind == Tok::Newline) ++k;
        n->start = toks_[k].start;
    }
    if (accept_op("[")) {
        skip_nl();
        while (cur().kind == Tok::Ident) {
            n->decl_parts().captures.emplace_back(cur().text);
            ++pos_;
            skip_nl();
            if (!accept_op(",")) break;
            skip_nl();
        }
        if (!accept_op("]")) fail("Incomplete anonymous function bind");
    }
    if (!accept_op("(")) fail("Incomplete anonymous function");
    params(*n);
    if (!accept_op(")")) fail("Incomplete anonymous function");
    skip_nl();
    if (!is_op("{")) fail("Incomplete anonymous function");
    n->kids.push_back(block("fun"));
    return finish(std::move(n));
}

NodePtr Parser::number_literal() {
    const Token& t = cur();
    auto n = make(NK::Const, t.start);
    n->literal = t.kind == Tok::Float ? Literal::Floating : Literal::Integer;
    set_text(n->text, t.text);
    ++pos_;
    return finish(std::move(n));
}

NodePtr Parser::string_literal() {
    const Token& t = cur();
    auto n = make(NK::Const, t.start);
    if (t.parts.size() == 1) {
        n->literal = Literal::String;
        n->text = t.parts[0].text;
        ++pos_;
        return finish(std::move(n));
    }
    n->kind = NK::InterpStr;
    for (const StrPiece& p : t.parts) {
        if (!p.is_code) {
            auto c = make(NK::Const, t.start);
            c->literal = Literal::String;
            c->text = p.text;
            n->kids.push_back(finish(std::move(c)));
            continue;
        }
        // A snippet is a program of its own; its errors are wrapped, placed at the literal.
        auto file = std::make_shared<const std::string>("instr eval");
        NodePtr code;
        bool nothing = false;
        try {
            Lexer lex(p.text, file);
            Parser sub(lex.run(), file);
            sub.depth_ = depth_;
            code = sub.program(true);
            nothing = !code || sub.nothing_parsed();
        } catch (const exception::eval_error& e) {
            fail_at(e.what(), t.start);
        }
        if (nothing)
            fail_at(exception::eval_error("Attempted to access AST of failed parse.", "", {}).what(), t.start);
        n->kids.push_back(std::move(code));
    }
    ++pos_;
    return finish(std::move(n));
}

}  // namespace chai
