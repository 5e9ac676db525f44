// Syntax trees as script values: parse(), eval(ast), AST_Node, File_Position, ChaiScript_Parser.
// A tree value names a node by its path from the root of an editable tree; replace_child makes a
// new version of the tree, which functions defined from it follow at their next call.
#include <algorithm>
#include <iostream>
#include <sstream>

#include "chai/library/library.hpp"
#include "chai/runtime/program.hpp"
#include "chai/stack/stack.hpp"
#include "chai/syntax/parser.hpp"

namespace chai {

namespace {

struct AstValue {
    std::shared_ptr<Tree> tree;
    std::vector<uint32_t> path;

    // The node in the tree's current version (null when an edit removed it).
    const Node* node() const {
        const Node* n = tree->current->root.get();
        for (uint32_t i : path) {
            if (i >= n->kids.size() || !n->kid(i)) return nullptr;
            n = n->kid(i);
        }
        return n;
    }
    const Node& at() const {
        const Node* n = node();
        if (!n) throw std::runtime_error("AST_Node: the node was replaced");
        return *n;
    }
};

struct ParserValue {
    AstValue last;
};

const AstValue& ast(const Value& v) { return lib_obj<AstValue>(v); }

std::shared_ptr<Tree> tree_of(NodePtr root) {
    auto p = std::make_shared<Program>();
    p->root = std::move(root);
    auto t = std::make_shared<Tree>();
    t->current = std::move(p);
    return t;
}

void describe(const Node& n, const std::string& indent, std::string& out, int depth) {
    if (depth > kMaxHeight) return;
    if (stack_exhausted()) depth_exceeded_at(n);
    std::ostringstream line;
    line << indent << "(" << node_kind_name(n.kind) << ") " << node_label(n) << " : " << n.start.line << ", "
         << n.start.column << "\n";
    out += line.str();
    for (const auto& k : n.kids)
        if (k) describe(*k, indent + "  ", out, depth + 1);
}

// The tree of a text; syntax errors are catchable eval_error values. With `or_null`, null when
// not even the first statement can be parsed.
NodePtr parse_source(const std::string& text, const std::string& file, bool or_null) {
    NodePtr root;
    errors_catchable([&] {
        root = parse_text(text, file, or_null);
        return Value();
    });
    return root;
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

// A node of the same kind may take the place of a child, and any expression, or a whole parsed
// text, that of an expression; so the evaluator always meets shapes it knows. The tree's height
// stays within the parser's limit, so walking it stays within the stack.
void replace_child(Context& c, const AstValue& parent, const AstValue& old_child, const AstValue& new_child) {
    const bool child_of = old_child.tree == parent.tree && old_child.path.size() == parent.path.size() + 1 &&
                          std::equal(parent.path.begin(), parent.path.end(), old_child.path.begin());
    const Node& p = parent.at();
    const uint32_t i = child_of ? old_child.path.back() : 0;
    if (!child_of || i >= p.kids.size() || !p.kid(i)) throw std::runtime_error("replace_child: not a child of this node");
    const NK from = p.kid(i)->kind, to = new_child.at().kind;
    if (from != to && !(is_expression(from) && (is_expression(to) || to == NK::File)))
        throw std::runtime_error("replace_child: this child can only be replaced by a node of its kind or an expression");
    NodePtr fresh = copy_tree(new_child.at());
    // A whole text's own height does not count its statements; inside a tree they nest.
    if (fresh->kind == NK::File) fresh->height = height_of(*fresh);
    if (fresh->height + static_cast<int>(parent.path.size()) + 1 > kMaxHeight)
        throw std::runtime_error("replace_child: tree would nest too deep");

    // The new version: a copy of the tree with the child replaced.
    NodePtr root = copy_tree(*parent.tree->current->root);
    std::vector<Node*> path{root.get()};
    for (uint32_t k : parent.path) path.push_back(path.back()->kids[k].get());
    Node& q = *path.back();
    fresh->parent = &q;
    q.kids[i] = std::move(fresh);
    q.first = q.kids[0].get();
    if (q.kids.size() > 1) q.second = q.kids[1].get();
    for (size_t k = path.size(); k-- > 0;) path[k]->height = height_of(*path[k]);
    root->height = 1;
    auto version = std::make_shared<Program>();
    version->root = std::move(root);
    c.prepare(*version);
    parent.tree->current = std::move(version);
}

// A call-stack entry as a childless node.
Value trace_node(const exception::AST_Node_Trace& t) {
    auto n = std::make_unique<Node>();
    n->file = std::make_shared<const std::string>(t.filename());
    n->start = t.start();
    n->end = t.end();
    n->text = t.text();
    for (int k = 0; k <= static_cast<int>(NK::Noop); ++k)
        if (t.kind() == node_kind_name(static_cast<NK>(k))) n->kind = static_cast<NK>(k);
    return lib_value(AstValue{tree_of(std::move(n)), {}});
}

// The path from a tree's root to n.
std::vector<uint32_t> path_to(const Node* n) {
    std::vector<uint32_t> path;
    for (; n->parent; n = n->parent) {
        const auto& kids = n->parent->kids;
        path.push_back(static_cast<uint32_t>(
            std::find_if(kids.begin(), kids.end(), [n](const NodePtr& k) { return k.get() == n; }) - kids.begin()));
    }
    std::reverse(path.begin(), path.end());
    return path;
}

const ScriptFn* script_fn(const Value& f) {
    const Callable& c = **f.func();
    return c.type == Callable::Type::Script ? static_cast<const ScriptFn*>(&c) : nullptr;
}

}  // namespace

void add_ast_lib(LibBuilder& b) {
    const TypeKey node = b.type<AstValue>("AST_Node");
    const TypeKey pos = b.type<File_Position>("File_Position");
    const TypeKey parser = b.type<ParserValue>("ChaiScript_Parser");

    const auto parse = [](Context&, Args a) {
        auto tree = tree_of(parse_source(*a[0].str(), "__EVAL__", false));
        if (a.size > 1 && a[1].as_bool()) {
            std::string out;
            describe(*tree->current->root, "", out, 0);
            std::cout << out << std::flush;
        }
        return lib_value(AstValue{std::move(tree), {}});
    };
    b.add("parse", {K("string")}, parse);
    b.add("parse", {K("string"), K("bool")}, parse);  // true: also print the tree
    b.add("eval", {node}, [](Context& c, Args a) {
        const AstValue& v = ast(a[0]);
        v.at();
        return errors_catchable([&] { return c.eval_tree(v.tree, v.path); });
    });

    b.add("text", {node}, [](Context&, Args a) { return make_str(node_label(ast(a[0]).at())); });
    b.add("identifier", {node}, [](Context&, Args a) { return num_value(static_cast<int>(ast(a[0]).at().kind)); });
    b.add("filename", {node}, [](Context&, Args a) {
        const Node& n = ast(a[0]).at();
        return make_str(n.file_name());
    });
    b.add("start", {node}, [](Context&, Args a) { return lib_value(ast(a[0]).at().start); });
    b.add("end", {node}, [](Context&, Args a) { return lib_value(ast(a[0]).at().end); });
    b.add("to_string", {node}, [](Context&, Args a) {
        std::string out;
        describe(ast(a[0]).at(), "", out, 0);
        return make_str(std::move(out));
    });
    b.add("children", {node}, [](Context&, Args a) {
        const AstValue& v = ast(a[0]);
        const Node& n = v.at();
        Vector kids;
        for (uint32_t i = 0; i < n.kids.size(); ++i) {
            if (!n.kid(i)) continue;
            AstValue child{v.tree, v.path};
            child.path.push_back(i);
            kids.push_back(lib_value(std::move(child)));
        }
        return make_vec(std::move(kids));
    });
    b.add("call_stack", {K("eval_error")}, [](Context&, Args a) {
        const ErrorV& e = *a[0].error();
        Vector stack;
        if (e.eval())
            for (const auto& t : e.eval()->call_stack) stack.push_back(trace_node(t));
        return make_vec(std::move(stack));
    });
    b.add("replace_child", {node, node, node}, [](Context& c, Args a) {
        replace_child(c, ast(a[0]), ast(a[1]), ast(a[2]));
        return Value();
    });
    b.add("line", {pos}, [](Context&, Args a) { return num_value(lib_obj<File_Position>(a[0]).line); });
    b.add("column", {pos}, [](Context&, Args a) { return num_value(lib_obj<File_Position>(a[0]).column); });

    // The body of a script function, as a tree.
    b.add("has_parse_tree", {K("Function")}, [](Context&, Args a) { return make_bool(script_fn(a[0]) != nullptr); });
    b.add("get_parse_tree", {K("Function")}, [](Context&, Args a) {
        const ScriptFn* f = script_fn(a[0]);
        if (!f) throw std::runtime_error("Function does not have a parse tree");
        if (f->tree && f->tree->current == f->prog) return lib_value(AstValue{f->tree, path_to(f->body)});
        // Not the tree's current version (or no tree): the body as a tree of its own.
        return lib_value(AstValue{tree_of(copy_tree(*f->body)), {}});
    });

    b.add("ChaiScript_Parser", {}, [](Context&, Args) { return lib_value(ParserValue{}); });
    b.add("parse", {parser, K("string"), K("string")}, [](Context&, Args a) {
        // The caller checks the result, so text that is no program at all is reported by it.
        NodePtr root = parse_source(*a[1].str(), *a[2].str(), true);
        if (!root) return make_bool(false);
        lib_obj<ParserValue>(a[0]).last = AstValue{tree_of(std::move(root)), {}};
        return make_bool(true);
    });
    b.add("ast", {parser}, [](Context&, Args a) -> Value {
        const AstValue& last = lib_obj<ParserValue>(a[0]).last;
        if (!last.tree) throw std::runtime_error("Parser has not parsed anything");
        return lib_value(last);
    });
}

}  // namespace chai
