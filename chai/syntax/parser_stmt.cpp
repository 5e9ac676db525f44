// Statement-level grammar.
#include <cstring>

#include "chai/spare.hpp"
#include "chai/stack/stack.hpp"
#include "chai/syntax/parser.hpp"

namespace chai {

Parser::Parser(std::vector<Token> toks, std::shared_ptr<const std::string> file)
    : toks_(std::move(toks)), file_(std::move(file)) {}

void Parser::too_deep() const { fail(depth_ > kMaxNesting ? "Nesting too deep" : kDepthExceeded); }

bool Parser::at_sep() const {
    Tok k = cur().kind;
    return k == Tok::Newline || k == Tok::Semi || k == Tok::End || is_op("}");
}
void Parser::skip_nl() {
    while (cur().kind == Tok::Newline || cur().kind == Tok::Semi) ++pos_;
}
void Parser::fail(const std::string& why) const { fail_at(why, cur().start); }
void Parser::fail_at(const std::string& why, File_Position at) const { throw exception::eval_error(why, at, *file_); }

NodePtr Parser::make(NK k, File_Position start) {
    auto n = std::make_unique<Node>();
    n->kind = k;
    n->start = start;
    n->end = start;
    return n;
}

NodePtr Parser::finish(NodePtr n) {
    if (!n->kids.empty()) n->first = n->kids[0].get();
    if (n->kids.size() > 1) n->second = n->kids[1].get();
    // The children learn their parent in the pass that finds the tallest.
    int h = 0;
    for (auto& k : n->kids)
        if (k) {
            k->parent = n.get();
            h = std::max(h, k->height);
        }
    n->height = h + 1;
    if (n->height > kMaxHeight) fail_at("Nesting too deep", n->start);
    if (pos_ > 0) {
        const Token& last = toks_[pos_ - 1];
        if (last.end.line > n->start.line || (last.end.line == n->start.line && last.end.column > n->start.column))
            n->end = last.end;
    }
    return n;
}

NodePtr Parser::program(bool or_null) {
    auto file = make(NK::File, {1, 1});
    file->file = file_;
    statements(*file, false);
    nothing_parsed_ = file->kids.empty() && !matched_separator();
    if (cur().kind != Tok::End) {
        // A text whose very first statement does not parse is no program at all; callers that
        // can say so (a parser object's result) get null, everything else an error.
        if (nothing_parsed_ && or_null) return nullptr;
        throw exception::eval_error("Unparsed input", cur().start, *file_);
    }
    // A file's statements are siblings, so its height is not limited like nested code.
    file->height = 1;
    adopt_kids(*file, false);
    if (!file->kids.empty()) file->start = file->kids[0]->start;
    return file;
}

bool Parser::matched_separator() const {
    // Line ends right after an annotation belong to it (they lead to a possible def).
    bool after_annotation = false;
    for (size_t i = 0; i < pos_; ++i) {
        if (toks_[i].kind == Tok::Annotation) after_annotation = true;
        else if (!after_annotation) return true;
    }
    return false;
}

std::string Parser::annotations() {
    // Annotation lines merge while they follow each other directly; after an empty line or
    // statement separator a new one starts and the earlier text is dropped.
    std::string text;
    while (cur().kind == Tok::Annotation) {
        text += cur().text;
        ++pos_;
        if (cur().kind == Tok::Annotation) continue;
        skip_nl();
        if (cur().kind == Tok::Annotation) text.clear();
    }
    return text;
}

void Parser::statements(Node& into, bool in_block) {
    for (;;) {
        skip_nl();
        std::string annotation = annotations();
        if (cur().kind == Tok::End || (in_block && is_op("}"))) return;
        bool was_block = false;
        NodePtr s = statement(was_block, std::move(annotation));
        if (!s) return;
        if (into.kids.empty()) into.kids.reserve(in_block ? 4 : 8);  // room grows less often
        into.kids.push_back(std::move(s));
        if (!was_block && !at_sep() && !is_op("{")) {
            // Another statement on the same line is an error only if it parses; anything
            // else is left for the caller to report (unparsed input, incomplete block).
            File_Position at = cur().start;
            std::string next_annotation = annotations();
            if (!statement(was_block, std::move(next_annotation))) return;
            fail_at(was_block ? "Two function definitions missing line separator"
                              : "Two expressions missing line separator",
                    at);
        }
    }
}

NodePtr Parser::statement(bool& was_block, std::string annotation) {
    // Keywords count only as plain names: the token is looked at once for all of them.
    const Token& t = cur();
    const std::string_view word = t.kind == Tok::Ident && !t.quoted_ident ? t.text : std::string_view();
    auto keyword = [&](std::string_view s) {
        if (!spells(word, s)) return false;
        ++pos_;
        return true;
    };
    was_block = true;
    if (keyword("def")) return def({}, std::move(annotation));
    if (keyword("class")) return class_def();
    if (keyword("if")) return if_stmt();
    if (keyword("while")) return while_stmt();
    if (keyword("for")) return for_stmt();
    if (keyword("switch")) return switch_stmt();
    if (keyword("try")) return try_stmt();
    if (is_op("{")) return block("block");
    was_block = false;
    if (keyword("return")) {
        auto n = make(NK::Return, cur().start);
        if (auto e = expr()) n->kids.push_back(std::move(e));
        return finish(std::move(n));
    }
    // Without parts these start right after their keyword.
    if (keyword("break")) return finish(make(NK::Break, toks_[pos_ - 1].end));
    if (keyword("continue")) return finish(make(NK::Continue, toks_[pos_ - 1].end));
    return equation();
}

NodePtr Parser::block(const char* what) {
    DepthGuard g(*this);
    if (!is_op("{")) fail(std::string("Incomplete '") + what + "' block");
    auto n = make(NK::Block, cur().start);
    ++pos_;
    statements(*n, true);
    if (!accept_op("}")) fail("Incomplete block");
    // Braces are not parts: a block starts with its first statement.
    n->start = n->kids.empty() ? toks_[pos_ - 1].end : n->kids[0]->start;
    return finish(std::move(n));
}

void Parser::params(Node& n) {
    skip_nl();
    if (cur().kind != Tok::Ident) return;  // the caller reports what stands here instead
    for (;;) {
        if (cur().kind != Tok::Ident) fail("Unexpected value in parameter list");
        ParamDecl p;
        const std::string_view first = cur().text;
        ++pos_;
        if (cur().kind == Tok::Ident) {
            set_text(p.type, first);
            set_text(p.name, cur().text);
            ++pos_;
        } else {
            set_text(p.name, first);
        }
        n.decl_parts().params.push_back(std::move(p));
        skip_nl();
        if (!accept_op(",")) break;
        skip_nl();
    }
}

NodePtr Parser::def(std::string class_name, std::string annotation) {
    if (cur().kind != Tok::Ident) fail("Missing function name in definition");
    auto n = make(NK::Def, cur().start);
    if (!annotation.empty()) n->decl_parts().annotation = std::move(annotation);
    std::string_view name = cur().text;
    ++pos_;
    if (accept_op("::")) {
        if (cur().kind != Tok::Ident) fail("Missing method name in definition");
        class_name = std::string(name);
        name = cur().text;
        ++pos_;
    }
    set_text(n->name, name);
    if (!class_name.empty()) n->decl_parts().class_name = std::move(class_name);
    if (accept_op("(")) {
        params(*n);
        if (!accept_op(")")) fail("Incomplete function definition");
    }
    skip_nl();
    if (accept_op(":")) {
        auto g = expr();
        if (!g) fail("Missing guard expression for function");
        n->guarded = true;
        n->kids.push_back(std::move(g));
        skip_nl();
    }
    if (!is_op("{")) fail("Incomplete function definition");
    n->kids.insert(n->kids.begin(), block("def"));
    return finish(std::move(n));
}

NodePtr Parser::class_def() {
    if (cur().kind != Tok::Ident) fail("Missing class name in definition");
    auto n = make(NK::Class, cur().start);
    set_text(n->name, cur().text);
    ++pos_;
    skip_nl();
    if (!accept_op("{")) fail("Incomplete 'class' block");
    for (;;) {
        skip_nl();
        std::string annotation = annotations();
        if (accept_op("}")) break;
        if (accept_kw("def")) {
            n->kids.push_back(def(n->name, annotation));
        } else if (accept_kw("var") || accept_kw("auto") || accept_kw("attr")) {
            if (cur().kind != Tok::Ident) fail("Incomplete attribute declaration");
            auto a = make(NK::AttrDecl, cur().start);
            set_text(a->name, cur().text);
            a->decl_parts().class_name = n->name;
            ++pos_;
            n->kids.push_back(finish(std::move(a)));
        } else {
            fail("Incomplete class block");
        }
    }
    return finish(std::move(n));
}

// "(" expression ")" after a keyword; a missing piece is "Incomplete '<keyword>' expression".
NodePtr Parser::parenthesized(const char* keyword) {
    const std::string why = std::string("Incomplete '") + keyword + "' expression";
    if (!accept_op("(")) fail(why);
    auto inner = expr();
    if (!inner || !accept_op(")")) fail(why);
    return inner;
}

NodePtr Parser::if_stmt() {
    auto n = make(NK::If, cur().start);
    n->kids.reserve(3);  // most have no else-if
    auto c = parenthesized("if");
    n->start = c->start;
    n->kids.push_back(std::move(c));
    skip_nl();
    n->kids.push_back(block("if"));
    for (;;) {
        size_t save = pos_;
        skip_nl();
        if (!accept_kw("else")) {
            pos_ = save;
            break;
        }
        if (accept_kw("if")) {  // "else if" on one line
            n->kids.push_back(parenthesized("else if"));
            skip_nl();
            n->kids.push_back(block("else if"));
        } else {
            skip_nl();
            n->kids.push_back(block("else"));
            break;
        }
    }
    return finish(std::move(n));
}

NodePtr Parser::while_stmt() {
    auto n = make(NK::While, cur().start);
    auto c = parenthesized("while");
    n->start = c->start;
    n->kids.push_back(std::move(c));
    skip_nl();
    n->kids.push_back(block("while"));
    return finish(std::move(n));
}

NodePtr Parser::for_stmt() {
    auto n = make(NK::For, cur().start);
    if (!accept_op("(")) fail("Incomplete 'for' expression");
    n->start = cur().start;
    auto part = [&]() -> NodePtr {
        auto e = equation();
        return e ? std::move(e) : make(NK::Noop, cur().start);
    };
    // The clauses end at ';' or a line end.
    auto clause_end = [&]() { return cur().kind == Tok::Semi || cur().kind == Tok::Newline; };
    n->kids.reserve(4);
    n->kids.push_back(part());
    if (!clause_end()) fail("'for' loop initial statment missing");
    ++pos_;
    auto cond = equation();
    n->kids.push_back(cond ? std::move(cond) : nullptr);
    if (!clause_end()) fail("'for' loop condition missing");
    ++pos_;
    n->kids.push_back(part());
    if (!accept_op(")")) fail("Incomplete 'for' expression");
    skip_nl();
    n->kids.push_back(block("for"));
    return finish(std::move(n));
}

NodePtr Parser::switch_stmt() {
    auto n = make(NK::Switch, cur().start);
    auto c = parenthesized("switch");
    n->start = c->start;
    n->kids.push_back(std::move(c));
    skip_nl();
    if (!accept_op("{")) fail("Incomplete block");
    for (;;) {
        skip_nl();
        if (accept_op("}")) break;
        if (accept_kw("case")) {
            auto k = make(NK::Case, cur().start);
            k->kids.push_back(parenthesized("case"));
            k->start = k->kids[0]->start;
            skip_nl();
            k->kids.push_back(block("case"));
            n->kids.push_back(finish(std::move(k)));
        } else if (accept_kw("default")) {
            auto k = make(NK::Default, cur().start);
            skip_nl();
            k->kids.push_back(block("default"));
            k->start = k->kids[0]->start;
            n->kids.push_back(finish(std::move(k)));
        } else {
            fail("Incomplete block");
        }
    }
    return finish(std::move(n));
}

NodePtr Parser::try_stmt() {
    auto n = make(NK::Try, cur().start);
    skip_nl();
    n->kids.push_back(block("try"));
    n->start = n->kids[0]->start;  // keywords are not parts of a node
    for (;;) {
        size_t save = pos_;
        skip_nl();
        if (accept_kw("catch")) {
            auto c = make(NK::Catch, cur().start);
            if (accept_op("(")) {
                params(*c);
                if (c->params().size() > 1 || !accept_op(")")) fail("Incomplete 'catch' expression");
                skip_nl();
                if (accept_op(":")) {
                    auto g = expr();
                    if (!g) fail("Missing guard expression for catch");
                    c->guarded = true;
                    c->kids.push_back(std::move(g));
                }
            }
            skip_nl();
            c->kids.insert(c->kids.begin(), block("catch"));
            n->kids.push_back(finish(std::move(c)));
        } else if (accept_kw("finally")) {
            auto f = make(NK::Finally, cur().start);
            skip_nl();
            f->kids.push_back(block("finally"));
            n->kids.push_back(finish(std::move(f)));
            break;
        } else {
            pos_ = save;
            break;
        }
    }
    return finish(std::move(n));
}

namespace {
// The token list of the last text parsed, emptied, for the next: the list is a large block to
// the allocator. Lists of long texts are not kept.
constexpr size_t kSpareTokens = 256;  // about 22 KB

Spare<std::vector<Token>>& spare_tokens() {
    static Spare<std::vector<Token>> spare;
    return spare;
}

void keep_spare_tokens(std::vector<Token>& toks) {
    if (toks.capacity() > kSpareTokens) return;
    toks.clear();
    spare_tokens().keep(toks, [](const auto& v, const auto& held) { return v.capacity() > held.capacity(); });
}
// The file name the trees of a text hold: the last one's record again when the name is the same
// (a host runs the same file per call; the text's trees may still be in use, the name never changes).
std::shared_ptr<const std::string> file_record(const std::string& filename) {
    static Spare<std::shared_ptr<const std::string>> last;
    std::shared_ptr<const std::string> record = last.take();
    if (!record || *record != filename) record = std::make_shared<const std::string>(filename);
    std::shared_ptr<const std::string> kept = record;
    last.keep(kept, [](const auto&, const auto&) { return true; });
    return record;
}
}  // namespace

NodePtr parse_text(const std::string& source, const std::string& filename, bool or_null) {
    const std::shared_ptr<const std::string> file = file_record(filename);
    Lexer lex(source, file);
    Parser p(lex.run(spare_tokens().take()), file);
    NodePtr root = p.program(or_null);
    keep_spare_tokens(p.tokens());
    return root;
}

}  // namespace chai
