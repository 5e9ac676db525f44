// Turns script text into tokens. Knows characters and token shapes, no grammar.
#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "chai/errors.hpp"

namespace chai {

// Error: a malformed literal; text holds the reason. The parser reports it only if it gets
// there, so an earlier error (or an unparsable first statement) takes precedence.
enum class Tok : uint8_t { Ident, Integer, Float, String, Char, Op, Newline, Semi, Annotation, Error, End };

// A piece of a string literal: literal text, or the source of an ${...} snippet.
struct StrPiece {
    bool is_code = false;
    std::string text;
    File_Position pos;  // snippet start
};

// Tokens are read many per call of a host's script, so their texts are not copied: `text` views
// the source, which outlives the tokens. Texts that differ from the source (a string literal's
// decoded pieces, a char literal's decoded character, an Error's reason) are kept in `parts`.
struct Token {
    Tok kind = Tok::End;
    std::string_view text;       // identifier, operator, number spelling, annotation
    std::vector<StrPiece> parts; // String: its pieces; Char, Error: one piece holding the text
    File_Position start, end;
    bool quoted_ident = false;   // `name` form
};

class Lexer {
public:
    Lexer(const std::string& src, std::shared_ptr<const std::string> file);
    // Whole input at once; a malformed literal ends the tokens with an Error token. out: an
    // emptied list whose room is reused.
    std::vector<Token> run(std::vector<Token> out = {});

private:
    void read_tokens(std::vector<Token>& out);
    [[noreturn]] void fail(const std::string& why, File_Position at) const;
    // Reading never passes the end, and a string holds a '\0' just past it.
    char peek() const { return src_[pos_]; }
    char peek(size_t k) const { return pos_ + k < src_.size() ? src_[pos_ + k] : '\0'; }
    File_Position here() const { return {line_, col_}; }
    // The source from b to where reading stands.
    std::string_view since(size_t b) const { return {src_.data() + b, pos_ - b}; }
    void advance(size_t n = 1);
    // For n characters known to hold no line end (names, operators).
    void advance_in_line(size_t n) {
        pos_ += n;
        col_ += static_cast<int>(n);
    }
    void skip_space_and_comments();
    void lex_number(Token& t);
    void lex_string(Token& t);
    void lex_char(Token& t);
    void lex_operator(Token& t);
    // Reads one escape after a backslash, appending the decoded bytes. Errors are reported
    // at the start of the literal.
    void escape(std::string& out, File_Position literal);

    const std::string& src_;
    std::shared_ptr<const std::string> file_;
    size_t pos_ = 0;
    int line_ = 1, col_ = 1;
    File_Position token_start_;
};

}  // namespace chai
