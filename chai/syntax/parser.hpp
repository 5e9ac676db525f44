// Builds the syntax tree from tokens. Nesting is bounded so that neither parsing nor the
// later walk over the tree can exhaust the C++ stack; on an evaluation stack nearly used up (text
// eval'd deep in a recursion) parsing also stops where the stack ends.
#pragma once
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "chai/stack/stack.hpp"
#include "chai/syntax/tree.hpp"
#include "chai/syntax/lexer.hpp"

namespace chai {

// Parses a whole text into a File node; throws exception::eval_error on any syntax error. Text
// whose very first token starts no statement is reported as unparsed input, or gives null if
// `or_null` is set.
NodePtr parse_text(const std::string& source, const std::string& filename, bool or_null = false);

// Whether a token's text is s (never empty): lengths and first characters decide most
// comparisons, and operators of one or two characters need no call.
inline bool spells(std::string_view text, std::string_view s) {
    if (text.size() != s.size() || text[0] != s[0]) return false;
    return s.size() == 1 || (s.size() == 2 ? text[1] == s[1] : text.substr(1) == s.substr(1));
}

// Sets the text of a node or parameter just made from a token's: the string is still empty, so
// appending skips the general replace.
inline void set_text(std::string& empty, std::string_view text) { empty.append(text.data(), text.size()); }

constexpr int kMaxNesting = 160;   // nested blocks/parentheses/prefix operators
constexpr int kMaxHeight = 640;    // height of any expression or statement tree

class Parser {
public:
    Parser(std::vector<Token> toks, std::shared_ptr<const std::string> file);
    NodePtr program(bool or_null);
    std::vector<Token>& tokens() { return toks_; }
    // After program(): nothing at all was parsed, not even a line end.
    bool nothing_parsed() const { return nothing_parsed_; }

private:
    // Inline, with the stack's limit read once per parse: every level of the grammar takes one.
    struct DepthGuard {
        explicit DepthGuard(Parser& parser) : p(parser) {
            // Text eval'd by a deep recursion has less room than its nesting limit assumes.
            if (++p.depth_ > kMaxNesting || stack_below(p.stack_limit_)) p.too_deep();
        }
        ~DepthGuard() { --p.depth_; }
        Parser& p;
    };
    [[noreturn]] void too_deep() const;

    const Token& cur() const { return toks_[pos_]; }
    const Token& next() const { return toks_[pos_ + 1 < toks_.size() ? pos_ + 1 : pos_]; }
    // Inline: the parser asks these several times per token, mostly with a first letter that
    // already differs.
    bool is_op(std::string_view s) const { return cur().kind == Tok::Op && spells(cur().text, s); }
    bool accept_op(std::string_view s) {
        if (!is_op(s)) return false;
        ++pos_;
        return true;
    }
    bool is_kw(std::string_view s) const { return cur().kind == Tok::Ident && !cur().quoted_ident && spells(cur().text, s); }
    bool accept_kw(std::string_view s) {
        if (!is_kw(s)) return false;
        ++pos_;
        return true;
    }
    bool at_sep() const;
    // Line ends where the grammar allows them (';' counts as one).
    void skip_nl();
    [[noreturn]] void fail(const std::string& why) const;
    [[noreturn]] void fail_at(const std::string& why, File_Position at) const;
    NodePtr make(NK k, File_Position start);
    NodePtr finish(NodePtr n);

    // statements
    void statements(Node& into, bool in_block);
    NodePtr statement(bool& was_block, std::string annotation = {});
    std::string annotations();
    bool matched_separator() const;
    NodePtr block(const char* what);
    NodePtr def(std::string class_name, std::string annotation);
    NodePtr class_def();
    NodePtr parenthesized(const char* keyword);
    NodePtr if_stmt();
    NodePtr while_stmt();
    NodePtr for_stmt();
    NodePtr switch_stmt();
    NodePtr try_stmt();
    void params(Node& n);

    // expressions
    NodePtr equation();
    NodePtr expr();
    NodePtr binary(int min_level);
    NodePtr binary_node(NK kind, std::string_view op, NodePtr lhs, NodePtr rhs);
    NodePtr unary();
    NodePtr decl();
    NodePtr postfix();
    NodePtr primary();
    NodePtr container();
    NodePtr lambda();
    NodePtr number_literal();
    NodePtr string_literal();
    void args(Node& call);

    std::vector<Token> toks_;
    size_t pos_ = 0;
    std::shared_ptr<const std::string> file_;
    int depth_ = 0;
    const uintptr_t stack_limit_ = engine_stack_limit();  // the parse runs where it was made
    bool nothing_parsed_ = false;
};

}  // namespace chai
