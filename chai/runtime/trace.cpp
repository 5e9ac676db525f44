// Evaluation errors and the call stacks they carry.
#include "chai/runtime/interp.hpp"

namespace chai {

exception::AST_Node_Trace trace_of(const Node* n) {
    return exception::AST_Node_Trace(n->file_name(), n->start, n->end, node_label(*n),
                                     node_kind_name(n->kind), n, node_text(*n));
}

namespace {
// Nodes evaluated only as parts of their parent: an error passing through them does not list them.
bool listed(const Node* n) {
    return n->kind != NK::Finally && n->kind != NK::Catch && n->kind != NK::MapPair && n->kind != NK::Noop;
}
// The body or guard of a function: where the evaluation of a call begins.
bool function_root(const Node* n) {
    return n->parent && (n->parent->kind == NK::Def || n->parent->kind == NK::Lambda);
}
}  // namespace

// An error passing through thousands of calls (runaway recursion) keeps its innermost entries.
constexpr size_t kMaxTrace = 256;

void Interp::complete_trace(exception::eval_error& e, const Node* stop) const {
    if (e.call_stack.empty() || e.call_stack.size() >= kMaxTrace) return;
    const Node* n = static_cast<const Node*>(e.call_stack.back().node());
    if (!n) return;
    while (n != stop && !function_root(n) && n->parent && n->parent != stop) {
        const Node* from = n;
        n = n->parent;
        // A switch tests case values itself; only a case's block runs through the case.
        if (listed(n) && !(n->kind == NK::Case && from == n->first)) e.call_stack.push_back(trace(n));
    }
}

void Interp::add_call_trace(exception::eval_error& e, const Node* n) const {
    complete_trace(e, n);
    if (e.call_stack.size() >= kMaxTrace) return;
    if (e.call_stack.empty() || e.call_stack.back().node() != n) e.call_stack.push_back(trace(n));
}

void Context::fail(const Node* n, const std::string& reason, const std::string& params, const std::string& detail) {
    std::vector<exception::AST_Node_Trace> stack;
    if (n) stack.push_back(trace_of(n));
    throw exception::eval_error(reason, params, std::move(stack), detail);
}

}  // namespace chai
