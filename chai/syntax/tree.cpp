#include "chai/syntax/tree.hpp"

#include "chai/stack/stack.hpp"

namespace chai {

void adopt_kids(Node& n, bool deep) {
    for (auto& k : n.kids)
        if (k) {
            k->parent = &n;
            if (deep) adopt_kids(*k, true);
        }
}

const std::shared_ptr<const std::string>& Node::file_record() const {
    static const std::shared_ptr<const std::string> none;
    for (const Node* n = this; n; n = n->parent)
        if (n->file) return n->file;
    return none;
}

const std::string& Node::file_name() const {
    static const std::string none;
    const auto& record = file_record();
    return record ? *record : none;
}

void depth_exceeded_at(const Node& n) { throw exception::eval_error(kDepthExceeded, n.start, n.file_name()); }

namespace {
NodePtr copy_nodes(const Node& n) {
    if (stack_exhausted()) depth_exceeded_at(n);
    auto c = std::make_unique<Node>();
    c->kind = n.kind;
    c->op = n.op;
    c->literal = n.literal;
    c->minus = n.minus;
    c->parens = n.parens;
    c->guarded = n.guarded;
    c->reference = n.reference;
    c->name = n.name;
    c->text = n.text;
    if (n.decl) c->decl = std::make_unique<DeclParts>(*n.decl);
    c->height = n.height;
    c->start = n.start;
    c->end = n.end;
    c->file = n.file;
    for (const auto& k : n.kids) c->kids.push_back(k ? copy_nodes(*k) : nullptr);
    if (!c->kids.empty()) c->first = c->kids[0].get();
    if (c->kids.size() > 1) c->second = c->kids[1].get();
    adopt_kids(*c, false);
    return c;
}
}  // namespace

NodePtr copy_tree(const Node& n) {
    NodePtr c = copy_nodes(n);
    // The copy is a root of its own: it takes the file its nodes were read from.
    if (!c->file) c->file = n.file_record();
    return c;
}

std::string node_label(const Node& n) { return n.text.empty() ? n.name : n.text; }

const char* node_kind_name(NK k) {
    static const char* const names[] = {
        "File", "Block", "Constant", "Interpolated_String", "Id", "Var_Decl", "Reference", "Global_Decl",
        "Attr_Decl", "Equation", "Binary", "Logical_And", "Logical_Or", "Ternary_Cond", "Prefix", "Fun_Call",
        "Dot_Access", "Array_Call", "Inline_Array", "Inline_Map", "Map_Pair", "Inline_Range", "Lambda", "Def",
        "Class", "If", "While", "For", "Switch", "Case", "Default", "Try", "Catch", "Finally", "Return",
        "Break", "Continue", "Noop"};
    auto i = static_cast<size_t>(k);
    return i < sizeof names / sizeof *names ? names[i] : "Noop";
}

namespace {
std::string listed(const Node& n, size_t from, const char* open, const char* close) {
    std::string s = open;
    for (size_t i = from; i < n.kids.size(); ++i) s += (i > from ? ", " : "") + node_text(*n.kid(i));
    return s + close;
}

// Shown as what it means: text pieces and to_string(snippet) joined by +, always starting and
// ending with a (possibly empty) text piece.
std::string interpolation_text(const Node& n) {
    std::string s;
    bool text_next = true;
    const auto add = [&s](const std::string& part) { s = s.empty() ? part : "(" + s + " + " + part + ")"; };
    for (const auto& k : n.kids) {
        if (k->kind == NK::Const) {
            add(node_text(*k));
            text_next = false;
            continue;
        }
        if (text_next) add("\"\"");
        std::string code;
        for (const auto& statement : k->kids) code += node_text(*statement);
        add("to_string(" + code + ")");
        text_next = true;
    }
    if (text_next) add("\"\"");
    return s;
}
}  // namespace

std::string node_text(const Node& n) {
    if (stack_nearly_gone()) return "...";
    switch (n.kind) {
    case NK::Const:
        if (n.literal == Literal::String) return "\"" + n.text + "\"";
        if (n.literal == Literal::Char) return "'" + n.text + "'";
        return n.text;
    case NK::Id: return n.name;
    case NK::VarDecl: return "var " + n.name;
    case NK::Binary: return "(" + node_text(*n.kid(0)) + " " + n.text + " " + node_text(*n.kid(1)) + ")";
    case NK::And: case NK::Or: return "(" + node_text(*n.kid(0)) + n.text + node_text(*n.kid(1)) + ")";
    case NK::Call: return node_text(*n.kid(0)) + listed(n, 1, "(", ")");
    case NK::Dot: return node_text(*n.kid(0)) + "." + n.name + (n.parens ? listed(n, 1, "(", ")") : "");
    case NK::Index: return node_text(*n.kid(0)) + "[" + node_text(*n.kid(1)) + "]";
    case NK::VectorLit: return listed(n, 0, "[", "]");
    case NK::Assign: return node_text(*n.kid(0)) + n.text + node_text(*n.kid(1));
    case NK::Prefix: return n.text + node_text(*n.kid(0));
    case NK::Def: case NK::GlobalDecl: case NK::RefDecl: return n.name;
    case NK::InterpStr: return interpolation_text(n);
    // Attributes and classes spell their class name first, as written in `attr C::x`.
    case NK::AttrDecl: return n.class_name() + n.name;
    case NK::Class: {
        std::string s = n.name;
        for (const auto& k : n.kids) s += node_text(*k);
        return s;
    }
    case NK::Lambda: {
        // Parts in source order: captures, parameters (type, then name), the body.
        std::string s;
        for (const std::string& c : n.captures()) s += c;
        for (const ParamDecl& p : n.params()) s += p.type + p.name;
        for (const auto& k : n.kids) s += node_text(*k);
        return s;
    }
    case NK::Catch: {
        // Parts in source order: the parameter (type, then name), the guard, the body.
        std::string s;
        for (const ParamDecl& p : n.params()) s += p.type + p.name;
        for (size_t i = 1; i < n.kids.size(); ++i) s += node_text(*n.kid(i));
        return s + node_text(*n.kid(0));
    }
    default: {
        // A block's text is its statements run together, as for any other compound node.
        std::string s;
        if (n.kind != NK::File)
            for (const auto& k : n.kids)
                if (k) s += node_text(*k);
        return s;
    }
    }
}

}  // namespace chai
