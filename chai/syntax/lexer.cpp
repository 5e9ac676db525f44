#include "chai/syntax/lexer.hpp"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace chai {

namespace {
// What a character can be, looked up once per character.
enum : uint8_t { kIdStart = 1, kDigit = 2, kOperator = 4 };  // kOperator: can start nothing but an operator
struct CharClasses {
    uint8_t of[256];
};
constexpr CharClasses make_char_classes() {
    CharClasses t{};
    for (int c = 'a'; c <= 'z'; ++c) t.of[c] = kIdStart;
    for (int c = 'A'; c <= 'Z'; ++c) t.of[c] = kIdStart;
    t.of[static_cast<unsigned char>('_')] = kIdStart;
    for (int c = '0'; c <= '9'; ++c) t.of[c] = kDigit;
    // Not '.', which may start a number.
    for (const char* p = "<>:+-&|*/%^=!~?()[]{},"; *p; ++p) t.of[static_cast<unsigned char>(*p)] = kOperator;
    return t;
}
constexpr CharClasses kCharClasses = make_char_classes();
uint8_t char_class(char c) { return kCharClasses.of[static_cast<unsigned char>(c)]; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_id_char(char c) { return char_class(c) & (kIdStart | kDigit); }
// Whether the token before the one being read (the last) can end an operand on this line: then
// a following ".5" is member access (`a.5` lacks a member name), not a number.
bool ends_operand(const std::vector<Token>& out) {
    if (out.size() < 2) return false;
    const Token& p = out[out.size() - 2];
    switch (p.kind) {
    case Tok::Ident: return p.quoted_ident || p.text != "return";
    case Tok::Integer: case Tok::Float: case Tok::String: case Tok::Char: return true;
    case Tok::Op: return p.text == ")" || p.text == "]";
    default: return false;
    }
}

// The length of the operator starting with a, b, c (the longest that fits), 0 for none.
size_t operator_length(char a, char b, char c) {
    switch (a) {
    case '<': case '>': return b == a ? (c == '=' ? 3 : 2) : b == '=' ? 2 : 1;  // << <<= <=
    case ':': return b == ':' || b == '=' ? 2 : 1;
    case '.': return b == '.' ? 2 : 1;
    case '+': case '-': case '&': case '|': return b == a || b == '=' ? 2 : 1;  // ++ += && &=
    case '*': case '/': case '%': case '^': case '=': case '!': return b == '=' ? 2 : 1;
    case '~': case '?': case '(': case ')': case '[': case ']': case '{': case '}': case ',': return 1;
    default: return 0;
    }
}
}  // namespace

Lexer::Lexer(const std::string& src, std::shared_ptr<const std::string> file) : src_(src), file_(std::move(file)) {}

void Lexer::fail(const std::string& why, File_Position at) const { throw exception::eval_error(why, at, *file_); }

void Lexer::advance(size_t n) {
    for (size_t k = 0; k < n && pos_ < src_.size(); ++k) {
        if (src_[pos_] == '\n') {
            ++line_;
            col_ = 1;
        } else {
            ++col_;
        }
        ++pos_;
    }
}

void Lexer::skip_space_and_comments() {
    for (;;) {
        char c = peek();
        if (c == ' ' || c == '\t') {
            advance_in_line(1);
        } else if (c == '\r' && peek(1) == '\n') {
            return;
        } else if (c == '/' && peek(1) == '/') {
            while (pos_ < src_.size() && peek() != '\n' && !(peek() == '\r' && peek(1) == '\n')) advance();
        } else if (c == '/' && peek(1) == '*') {
            // An unclosed comment simply runs to the end of the text.
            advance(2);
            while (pos_ < src_.size() && !(peek() == '*' && peek(1) == '/')) advance();
            advance(2);
        } else {
            return;
        }
    }
}

std::vector<Token> Lexer::run(std::vector<Token> out) {
    out.clear();
    try {
        read_tokens(out);
    } catch (const exception::eval_error& e) {
        out.pop_back();  // the token being read: errors come from within one
        Token bad;
        bad.kind = Tok::Error;
        bad.parts.push_back({false, e.reason, {}});
        bad.start = token_start_;     // where the parser meets it
        bad.end = e.start_position;   // where the error is reported
        out.push_back(std::move(bad));
        Token end;
        end.start = end.end = here();
        out.push_back(std::move(end));
    }
    return out;
}

void Lexer::read_tokens(std::vector<Token>& out) {
    out.reserve(src_.size() / 4 + 16);  // scripts run to about a token per three characters
    // A "#!" first line is skipped together with its line end.
    if (peek() == '#' && peek(1) == '!') {
        while (pos_ < src_.size() && peek() != '\n') advance();
        advance();
    }
    for (;;) {
        // Most tokens follow another directly or after spaces; tabs and comments take the long way.
        while (peek() == ' ') advance_in_line(1);
        if (const char c = peek(); c == '\t' || c == '/') skip_space_and_comments();
        // Read in place: moving each token into the list would cost about as much as reading it.
        Token& t = out.emplace_back();
        t.start = token_start_ = here();
        char c = peek();
        if (pos_ >= src_.size()) {
            t.kind = Tok::End;
            t.end = here();
            return;
        }
        const uint8_t cls = char_class(c);
        if (cls & kOperator) {
            lex_operator(t);
        } else if (cls & kIdStart) {
            t.kind = Tok::Ident;
            size_t end = pos_ + 1;
            while (end < src_.size() && is_id_char(src_[end])) ++end;
            const size_t b = pos_;
            advance_in_line(end - pos_);
            t.text = since(b);
        } else if (c == '\n' || (c == '\r' && peek(1) == '\n')) {
            advance(c == '\r' ? 2 : 1);
            t.kind = Tok::Newline;
        } else if (c == ';') {
            advance();
            t.kind = Tok::Semi;
        } else if (c == '#') {
            // Annotation: text up to and including the line end or ';'.
            t.kind = Tok::Annotation;
            const size_t b = pos_;
            while (pos_ < src_.size() && peek() != '\n' && peek() != ';' && !(peek() == '\r' && peek(1) == '\n'))
                advance();
            advance(peek() == '\r' ? 2 : pos_ < src_.size() ? 1 : 0);
            t.text = since(b);
        } else if (c == '`') {
            advance();
            t.kind = Tok::Ident;
            t.quoted_ident = true;
            const size_t b = pos_;
            while (pos_ < src_.size() && peek() != '`') {
                // A statement end inside is reported just after it.
                size_t eol = peek() == '\n' || peek() == ';' ? 1 : peek() == '\r' && peek(1) == '\n' ? 2 : 0;
                if (eol) {
                    advance(eol);
                    fail("Carriage return in identifier literal", here());
                }
                advance();
            }
            t.text = since(b);
            if (t.text.empty()) fail("Missing contents of identifier literal", here());
            if (pos_ >= src_.size()) fail("Incomplete identifier literal", here());
            advance();
        } else if (is_digit(c) || (c == '.' && is_digit(peek(1)) && !ends_operand(out))) {
            lex_number(t);
        } else if (c == '"') {
            lex_string(t);
        } else if (c == '\'') {
            lex_char(t);
        } else {
            lex_operator(t);
        }
        t.end = here();
    }
}

void Lexer::lex_number(Token& t) {
    size_t b = pos_;
    auto take_while = [&](auto pred) {
        while (pred(peek())) advance_in_line(1);  // none of them is a line end
    };
    bool is_float = false;
    // A prefix without digits ("0x", "0b") is the number 0 followed by a name.
    if (peek() == '0' && (peek(1) == 'x' || peek(1) == 'X') && std::isxdigit(static_cast<unsigned char>(peek(2)))) {
        advance(2);
        take_while([](char ch) { return std::isxdigit(static_cast<unsigned char>(ch)) != 0; });
    } else if (peek() == '0' && (peek(1) == 'b' || peek(1) == 'B') && (peek(2) == '0' || peek(2) == '1')) {
        advance(2);
        take_while([](char ch) { return ch == '0' || ch == '1'; });
        t.kind = Tok::Integer;  // no suffixes on binary literals
        t.text = since(b);
        return;
    } else {
        take_while(is_digit);
        if (peek() == '.' && is_digit(peek(1))) {
            is_float = true;
            advance();
            take_while(is_digit);
        }
        if ((peek() == 'e' || peek() == 'E') &&
            (is_digit(peek(1)) || ((peek(1) == '-' || peek(1) == '+') && is_digit(peek(2))))) {
            is_float = true;
            advance(2);
            take_while(is_digit);
        }
    }
    if (is_float) {
        take_while([](char ch) { return ch == 'f' || ch == 'F' || ch == 'l' || ch == 'L'; });
    } else {
        take_while([](char ch) { return ch == 'u' || ch == 'U' || ch == 'l' || ch == 'L'; });
    }
    // Letters after a number start the next token ("1f" is 1 then f).
    t.kind = is_float ? Tok::Float : Tok::Integer;
    t.text = since(b);
}

void Lexer::escape(std::string& out, File_Position literal) {
    char c = peek();
    auto octal = [](char ch) { return ch >= '0' && ch <= '7'; };
    if (octal(c)) {
        int v = 0;
        for (int k = 0; k < 3 && octal(peek()); ++k) {
            v = v * 8 + (peek() - '0');
            advance();
        }
        out.push_back(static_cast<char>(v));
        return;
    }
    if (c == 'x') {
        advance();
        int v = 0, n = 0;
        while (n < 2 && std::isxdigit(static_cast<unsigned char>(peek()))) {
            char h = peek();
            v = v * 16 + (is_digit(h) ? h - '0' : (std::tolower(h) - 'a' + 10));
            advance();
            ++n;
        }
        if (n == 0) fail("Unknown escaped sequence in string", literal);
        out.push_back(static_cast<char>(v));
        return;
    }
    static const char from[] = "\\\"'?abfnrtv$";
    static const char to[] = "\\\"'?\a\b\f\n\r\t\v$";
    const char* p = c ? std::strchr(from, c) : nullptr;
    if (!p) fail("Unknown escaped sequence in string", literal);
    out.push_back(to[p - from]);
    advance();
}

void Lexer::lex_string(Token& t) {
    t.kind = Tok::String;
    File_Position open = here();
    advance();
    StrPiece cur;
    for (;;) {
        // Reported where the text ends: the whole rest was taken for the string.
        if (pos_ >= src_.size()) fail("Unclosed quoted string", here());
        char c = peek();
        if (c == '"') {
            advance();
            break;
        }
        if (c == '\\') {
            advance();
            escape(cur.text, open);
        } else if (c == '$' && peek(1) == '{') {
            advance(2);
            t.parts.push_back(std::move(cur));
            cur = StrPiece{};
            StrPiece code;
            code.is_code = true;
            code.pos = here();
            while (pos_ < src_.size() && peek() != '}') {
                code.text.push_back(peek());
                advance();
            }
            if (pos_ >= src_.size()) fail("Unclosed quoted string", here());
            advance();
            t.parts.push_back(std::move(code));
        } else if (c == '$' && peek(1) == '"') {
            advance();  // a '$' ending the literal is dropped
        } else {
            cur.text.push_back(c);
            advance();
        }
    }
    t.parts.push_back(std::move(cur));
}

void Lexer::lex_char(Token& t) {
    t.kind = Tok::Char;
    File_Position open = here();
    advance();
    std::string s;
    while (pos_ < src_.size() && peek() != '\'') {
        if (peek() == '\\') {
            advance();
            escape(s, open);
        } else {
            s.push_back(peek());
            advance();
        }
    }
    if (pos_ >= src_.size()) fail("Unclosed single-quoted string", here());
    advance();
    if (s.empty()) fail("Empty character literal", open);
    t.parts.push_back({false, s.substr(0, 1), {}});
}

void Lexer::lex_operator(Token& t) {
    // An unknown character is a token of its own: the parser reports it where it stands.
    const size_t n = std::max<size_t>(operator_length(peek(), peek(1), peek(2)), 1);
    t.kind = Tok::Op;
    t.text = {src_.data() + pos_, n};
    advance_in_line(n);
}

}  // namespace chai
