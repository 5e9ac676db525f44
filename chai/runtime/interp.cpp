#include "chai/runtime/interp.hpp"

#include <algorithm>
#include <fstream>

#include "chai/syntax/parser.hpp"
#include "chai/library/library.hpp"

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
    // Drop everything the engine holds, then free the cycles left among the values it made.
    locals.clear();
    globals.clear();
    ret = BoxRef();
    funcs.clear();
    retired_lists.clear();
    current_program.reset();
    tracker.collect();
}

BoxRef Interp::run(const ProgramRef& prog, const Node* node) {
    char probe = 0;
    bool outer = stack_base == nullptr;
    if (outer) {
        // Engines kept for many evaluations free their cycles as they go. Between top-level runs
        // every value in use is held by a counted reference (variables, the host's values).
        if (tracker.size() >= collect_at) {
            tracker.collect();
            collect_at = std::max<size_t>(4096, 2 * tracker.size());
        }
        stack_base = &probe;
    } else {
        check_stack(nullptr);  // eval() nested in eval() recurses without any script call
    }
    TrackingScope tracking(&tracker);
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
    BoxRef r = eval_traced(node ? node : prog->root.get(), node ? node->parent : nullptr);
    // break/continue in text a script evaluates act on the loop around that eval call.
    if (ctl == Ctl::Return) {
        ctl = Ctl::None;
        r = std::move(ret);
    } else if ((ctl == Ctl::Break || ctl == Ctl::Continue) && outer) {
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
    std::string text;
    char chunk[4096];
    while (f.read(chunk, sizeof chunk) || f.gcount() > 0) text.append(chunk, static_cast<size_t>(f.gcount()));
    // A path that opens but cannot be read (a directory) is no script: never run it as empty.
    if (f.bad()) throw exception::file_not_found_error(path);
    // Editors on Windows like to start UTF-8 files with a byte order mark; it is not code.
    static const std::string bom = "\xEF\xBB\xBF";
    if (text.compare(0, bom.size(), bom) == 0) text.erase(0, bom.size());
    return text;
}

BoxRef Interp::eval_text(const std::string& text, const std::string& filename) {
    return run(parse_program(text, filename));
}

BoxRef Interp::eval_file(const std::string& path) { return eval_text(read_script_file(path), path); }

BoxRef Interp::use_file(const std::string& path) {
    for (const std::string& f : used_files)
        if (f == path) return make_undef();
    std::string text = read_script_file(path);
    used_files.push_back(path);  // before running: a file using itself runs once
    return eval_text(text, path);
}

void Interp::add_global(const std::string& name, BoxRef value) {
    BoxRef& slot = globals[intern(name)];
    if (slot) throw exception::name_conflict_error(name);
    slot = std::move(value);
}

void Interp::set_global(const std::string& name, BoxRef value) {
    BoxRef& slot = globals[intern(name)];
    if (slot && slot->is_const) throw std::runtime_error("Cannot replace constant global " + name);
    slot = std::move(value);
}

}  // namespace chai
