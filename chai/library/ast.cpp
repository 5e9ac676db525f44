// Syntax trees as script values: parse(), eval(ast), AST_Node, File_Position, ChaiScript_Parser.
#include <iostream>
#include <sstream>

#include "chai/syntax/parser.hpp"
#include "chai/library/library.hpp"

namespace chai {

namespace {

// A node together with the program that owns it, so the node outlives the parse call.
struct AstValue {
    ProgramRef prog;
    const Node* node = nullptr;
};

struct ParserValue {
    AstValue last;
};

void describe(const Node& n, const std::string& indent, std::string& out, int depth) {
    if (depth > kMaxHeight) return;
    std::ostringstream line;
    line << indent << "(" << node_kind_name(n.kind) << ") " << node_label(n) << " : " << n.start.line << ", "
         << n.start.column << "\n";
    out += line.str();
    for (const auto& k : n.kids)
        if (k) describe(*k, indent + "  ", out, depth + 1);
}

const AstValue& ast(const BoxRef& b) { return lib_obj<AstValue>(b); }

// The tree of a text; syntax errors are catchable eval_error values. With `or_null`, null when
// not even the first statement can be parsed.
ProgramRef parse_text(const std::string& text, const std::string& file, bool or_null) {
    ProgramRef p;
    errors_catchable([&] {
        p = parse_program(text, file, or_null);
        return BoxRef();
    });
    return p;
}

// A deep copy of a subtree, with fresh evaluation caches.
NodePtr copy_tree(const Node& n) {
    auto c = std::make_unique<Node>();
    c->kind = n.kind;
    c->op = n.op;
    c->flag = n.flag;
    c->name = n.name;
    c->name2 = n.name2;
    c->value = n.value;
    c->height = n.height;
    c->start = n.start;
    c->end = n.end;
    c->file = n.file;
    c->text = n.text;
    c->params = n.params;
    c->captures = n.captures;
    for (const auto& k : n.kids) c->kids.push_back(k ? copy_tree(*k) : nullptr);
    if (!n.kids.empty() && n.first == n.kids[0].get()) c->first = c->kids[0].get();
    if (n.kids.size() > 1 && n.second == n.kids[1].get()) c->second = c->kids[1].get();
    adopt_kids(*c, false);
    return c;
}

// The nodes from `from` down to `target`, both included; empty when target is not below.
bool path_to(Node* from, const Node* target, std::vector<Node*>& path) {
    path.push_back(from);
    if (from == target) return true;
    for (auto& k : from->kids)
        if (k && path_to(k.get(), target, path)) return true;
    path.pop_back();
    return false;
}

int height_of(const Node& n) {
    int h = 0;
    for (const auto& k : n.kids)
        if (k) h = std::max(h, k->height);
    return h + 1;
}

// Nodes that produce a value wherever the parser puts them.
bool is_expression(NK k) {
    switch (k) {
    case NK::Const: case NK::InterpStr: case NK::Id: case NK::Binary: case NK::And: case NK::Or:
    case NK::Ternary: case NK::Prefix: case NK::Call: case NK::Dot: case NK::Index: case NK::VectorLit:
    case NK::MapLit: case NK::RangeLit: case NK::Lambda:
        return true;
    default:
        return false;
    }
}

// Replaces one child of a node by a copy of another tree. A node of the same kind may take the
// place of a child, and any expression, or a whole parsed text, that of an expression; so the
// evaluator always meets shapes it knows. The tree's height stays within the parser's limit, so
// walking it stays within the stack.
void replace_child(const AstValue& parent, const AstValue& old_child, const AstValue& new_child) {
    Node& p = const_cast<Node&>(*parent.node);  // programs are built mutable, shared as const
    size_t i = 0;
    while (i < p.kids.size() && p.kids[i].get() != old_child.node) ++i;
    if (i == p.kids.size()) throw std::runtime_error("replace_child: not a child of this node");
    NK from = old_child.node->kind, to = new_child.node->kind;
    if (from != to && !(is_expression(from) && (is_expression(to) || to == NK::File)))
        throw std::runtime_error("replace_child: this child can only be replaced by a node of its kind or an expression");
    std::vector<Node*> path;
    if (!path_to(parent.prog->root.get(), &p, path)) throw std::runtime_error("replace_child: node not in its tree");
    NodePtr fresh = copy_tree(*new_child.node);
    // A whole text's own height does not count its statements; inside a tree they nest.
    if (fresh->kind == NK::File) fresh->height = height_of(*fresh);
    int grown = fresh->height + static_cast<int>(path.size());
    if (grown > kMaxHeight) throw std::runtime_error("replace_child: tree would nest too deep");

    if (p.first == old_child.node) p.first = fresh.get();
    if (p.second == old_child.node) p.second = fresh.get();
    parent.prog->retired.push_back(std::move(p.kids[i]));
    fresh->parent = &p;
    p.kids[i] = std::move(fresh);
    for (size_t k = path.size(); k-- > 0;) path[k]->height = height_of(*path[k]);
}

// A call-stack entry as a childless node.
BoxRef trace_node(const exception::AST_Node_Trace& t) {
    auto prog = std::make_shared<Program>();
    prog->root = std::make_unique<Node>();
    Node& n = *prog->root;
    n.file = std::make_shared<const std::string>(t.filename());
    n.start = t.start();
    n.end = t.end();
    n.text = t.text();
    for (int k = 0; k <= static_cast<int>(NK::Noop); ++k)
        if (t.kind() == node_kind_name(static_cast<NK>(k))) n.kind = static_cast<NK>(k);
    return lib_box(AstValue{prog, prog->root.get()});
}

}  // namespace

void add_ast_lib(LibBuilder& b) {
    const TypeKey node = lib_type<AstValue>("AST_Node");
    const TypeKey pos = lib_type<File_Position>("File_Position");
    const TypeKey parser = lib_type<ParserValue>("ChaiScript_Parser");

    auto parse = [](Interp&, Args a) {
        ProgramRef p = parse_text(std::get<std::string>(a[0]->v), "__EVAL__", false);
        if (a.size > 1 && std::get<bool>(a[1]->v)) {
            std::string out;
            describe(*p->root, "", out, 0);
            std::cout << out << std::flush;
        }
        return lib_box(AstValue{p, p->root.get()});
    };
    b.add("parse", {K("string")}, parse);
    b.add("parse", {K("string"), K("bool")}, parse);  // true: also print the tree
    b.add("eval", {node}, [](Interp& in, Args a) {
        const AstValue& v = ast(a[0]);
        return errors_catchable([&] { return in.run(v.prog, v.node); });
    });

    b.add("text", {node}, [](Interp&, Args a) { return make_str(node_label(*ast(a[0]).node)); });
    b.add("identifier", {node}, [](Interp&, Args a) { return num_box(static_cast<int>(ast(a[0]).node->kind)); });
    b.add("filename", {node}, [](Interp&, Args a) {
        const Node& n = *ast(a[0]).node;
        return make_str(n.file ? *n.file : std::string());
    });
    b.add("start", {node}, [](Interp&, Args a) { return lib_box(ast(a[0]).node->start); });
    b.add("end", {node}, [](Interp&, Args a) { return lib_box(ast(a[0]).node->end); });
    b.add("to_string", {node}, [](Interp&, Args a) {
        std::string out;
        describe(*ast(a[0]).node, "", out, 0);
        return make_str(std::move(out));
    });
    b.add("children", {node}, [](Interp&, Args a) {
        const AstValue& v = ast(a[0]);
        Vector kids;
        for (const auto& k : v.node->kids)
            if (k) kids.push_back(lib_box(AstValue{v.prog, k.get()}));
        return make_box(Value(std::move(kids)));
    });
    b.add("call_stack", {K("eval_error")}, [](Interp&, Args a) {
        const ErrorV& e = std::get<ErrorV>(a[0]->v);
        Vector stack;
        if (e.eval())
            for (const auto& t : e.eval()->call_stack) stack.push_back(trace_node(t));
        return make_box(Value(std::move(stack)));
    });
    b.add("replace_child", {node, node, node}, [](Interp&, Args a) {
        replace_child(ast(a[0]), ast(a[1]), ast(a[2]));
        return undef();
    });
    b.add("line", {pos}, [](Interp&, Args a) { return num_box(lib_obj<File_Position>(a[0]).line); });
    b.add("column", {pos}, [](Interp&, Args a) { return num_box(lib_obj<File_Position>(a[0]).column); });

    // The body of a script function, as a tree.
    auto script_fn = [](const BoxRef& f) { return dynamic_cast<const ScriptFn*>(std::get<FuncRef>(f->v).get()); };
    b.add("has_parse_tree", {K("Function")}, [script_fn](Interp&, Args a) { return make_bool(script_fn(a[0]) != nullptr); });
    b.add("get_parse_tree", {K("Function")}, [script_fn](Interp&, Args a) {
        const ScriptFn* f = script_fn(a[0]);
        if (!f) throw std::runtime_error("Function does not have a parse tree");
        return lib_box(AstValue{f->keep, f->body});
    });

    b.add("ChaiScript_Parser", {}, [](Interp&, Args) { return lib_box(ParserValue{}); });
    b.add("parse", {parser, K("string"), K("string")}, [](Interp&, Args a) {
        // The caller checks the result, so text that is no program at all is reported by it.
        ProgramRef p = parse_text(std::get<std::string>(a[1]->v), std::get<std::string>(a[2]->v), true);
        if (!p) return make_bool(false);
        lib_obj<ParserValue>(a[0]).last = AstValue{p, p->root.get()};
        return make_bool(true);
    });
    b.add("ast", {parser}, [](Interp&, Args a) -> BoxRef {
        const AstValue& last = lib_obj<ParserValue>(a[0]).last;
        if (!last.node) throw std::runtime_error("Parser has not parsed anything");
        return lib_box(last);
    });
}

}  // namespace chai
