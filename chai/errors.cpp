#include "chai/errors.hpp"

namespace chai::exception {

namespace {
std::string syntax_text(const std::string& why, File_Position at, const std::string& file) {
    std::string where = "(" + std::to_string(at.line) + ", " + std::to_string(at.column) + ")";
    if (file == "__EVAL__") return "Error: \"" + why + "\" during evaluation  at " + where;
    return "Error: \"" + why + "\" in '" + file + "'  at " + where;
}
std::string runtime_text(const std::string& why, const std::string& params) {
    if (params.empty()) return "Error: \"" + why + "\" ";
    return "Error: \"" + why + "\" With parameters: " + params + " ";
}
std::string place(const AST_Node_Trace& t) {
    return t.filename() + " (" + std::to_string(t.start().line) + ", " + std::to_string(t.start().column) + ") '" +
           t.pretty_print() + "'";
}
}  // namespace

eval_error::eval_error(const std::string& why, File_Position where, const std::string& fname)
    : std::runtime_error(syntax_text(why, where, fname)), reason(why), start_position(where), filename(fname) {}

eval_error::eval_error(const std::string& why, const std::string& params, std::vector<AST_Node_Trace> stack,
                       std::string detail_text)
    : std::runtime_error(runtime_text(why, params)), reason(why), detail(std::move(detail_text)),
      call_stack(std::move(stack)) {}

std::string eval_error::pretty_print() const {
    std::string s = what();
    if (call_stack.empty()) return s + "\n";
    const AST_Node_Trace& top = call_stack.front();
    s += "during evaluation at (" + top.filename() + " " + std::to_string(top.start().line) + ", " +
         std::to_string(top.start().column) + ")\n\n" + detail + "\n  " + place(top);
    for (size_t i = 1; i < call_stack.size(); ++i) {
        const AST_Node_Trace& t = call_stack[i];
        if (t.kind() == "Block" || t.kind() == "File") continue;
        s += "\n  from " + place(t);
    }
    return s + "\n";
}

}  // namespace chai::exception
