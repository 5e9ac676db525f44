#include "chai/interp.hpp"

#include <fstream>
#include <sstream>

#include "chai/parser.hpp"
#include "chai/stdlib.hpp"

namespace chai {

namespace {
#ifdef _WIN32
constexpr size_t kStackBudget = 512 * 1024;
#else
constexpr size_t kStackBudget = 3 * 1024 * 1024;
#endif
}  // namespace

Interp::Interp() : funcs(stdlib_functions()), stack_budget(kStackBudget) {
    // `_` marks an open argument for bind().
    BoxRef placeholder = make_box(Value(TypeInfoV{"_", false, false}), false);
    placeholder->is_const = true;
    globals.emplace(intern("_"), std::move(placeholder));
    no_value_ = make_undef();
    no_value_->is_const = true;
}

Interp::~Interp() {
    // Objects can refer to each other through functions; drop values before functions.
    locals.clear();
    globals.clear();
    ret = BoxRef();
    for (auto& weak : closures)
        if (auto f = weak.lock()) f->captures.clear();
}

BoxRef Interp::run(const ProgramRef& prog, const Node* node) {
    char probe = 0;
    bool outer = stack_base == nullptr;
    if (outer) stack_base = &probe;
    else check_stack(nullptr);  // eval() nested in eval() recurses without any script call
    ProgramRef saved = current_program;
    current_program = prog;
    struct Restore {
        Interp& in;
        ProgramRef saved;
        bool outer;
        ~Restore() {
            in.current_program = saved;
            if (outer) {
                in.stack_base = nullptr;
                in.retired_lists.clear();
            }
        }
    } restore{*this, saved, outer};
    BoxRef r;
    try {
        r = eval(node ? node : prog->root.get());
    } catch (exception::eval_error& e) {
        complete_trace(e, node ? node->parent : nullptr);
        throw;
    }
    if (ctl == Ctl::Return) {
        ctl = Ctl::None;
        r = std::move(ret);
    } else if (ctl == Ctl::Break || ctl == Ctl::Continue) {
        bool brk = ctl == Ctl::Break;
        ctl = Ctl::None;
        fail(nullptr, brk ? "Unexpected `break` statement outside of a loop"
                          : "Unexpected `continue` statement outside of a loop");
    }
    return r ? r : make_undef();
}

std::string read_script_file(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) throw exception::file_not_found_error(path);
    std::ostringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

BoxRef Interp::eval_text(const std::string& text, const std::string& filename) {
    return run(parse_program(text, filename));
}

}  // namespace chai
