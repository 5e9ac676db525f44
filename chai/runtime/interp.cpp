#include "chai/runtime/interp.hpp"

#include <algorithm>
#include <exception>
#include <sys/stat.h>

#include <fstream>

#include "chai/runtime/resolve.hpp"
#include "chai/runtime/scopes.hpp"
#include "chai/runtime/stack.hpp"
#include "chai/syntax/parser.hpp"

namespace chai {

Interp::Interp(const LibraryTable& lib, const HostRegistry& lib_types)
    : syms_(std::make_shared<Symbols>(lib)), reg_(&lib_types) {
    // `_` marks an open argument for bind().
    Value placeholder = make_type_info({"_", false, false});
    placeholder.set_flags(kConst);
    syms_->of("_").global = placeholder;
    no_value_.set_flags(kConst);
    s_to_string_ = &syms_->of("to_string");
    s_assign_ = &syms_->of("=");
    s_index_ = &syms_->of("[]");
    s_eq_ = &syms_->of("==");
    s_method_missing_ = &syms_->of("method_missing");
}

Interp::~Interp() {
    // Drop everything the engine holds, then free the cycles left among the values it made.
    ret_ = Value();
    syms_->clear();
    retired_lists_.clear();
    retired_programs_.clear();
    script_conversions_.clear();
    tracker.collect();
}

FrameScope::FrameScope(Interp& i, const FnInfo* info, Frame* outer, bool file_level, bool eval_frame)
    : in(i), saved(i.frame_) {
    frame.info = info;
    frame.slots = in.slots_.push(info->nslots);
    frame.outer = outer;
    frame.file_level = file_level;
    frame.eval_frame = eval_frame;
    in.frame_ = &frame;
}

FrameScope::~FrameScope() {
    in.slots_.pop(frame.info->nslots);
    in.frame_ = saved;
}

void Interp::check_stack(const Node* site) {
    char probe = 0;
    const auto here = reinterpret_cast<uintptr_t>(&probe);
    if (here < engine_stack_limit()) fail(site, "Call stack depth exceeded");
    if (here < low_water_) low_water_ = here;
    count_step(site);
}

Value Interp::enter_new(Value (*body)(void*), void* fn) {
    // Engines kept for many evaluations free their cycles as they go. Between top-level runs every
    // value in use is held by a counted reference (variables, the host's values).
    if (tracker.size() >= collect_at_) {
        tracker.collect();
        collect_at_ = std::max<size_t>(4096, 2 * tracker.size());
    }
    steps_ = 0;
    ctl_ = Ctl::None;
    struct Call {
        Value (*body)(void*);
        void* fn;
        Interp* in;
        Value result;
        std::exception_ptr error;
        bool deep = false;
    } call{body, fn, this, Value(), nullptr};
    run_on_engine_stack(
        [](void* p) {
            Call& c = *static_cast<Call*>(p);
            Interp& in = *c.in;
            char top = 0;
            TrackingScope tracking(&in.tracker);
            ++in.running_depth_;
            try {
                c.result = c.body(c.fn);
            } catch (...) {
                c.error = std::current_exception();
            }
            --in.running_depth_;
            const auto here = reinterpret_cast<uintptr_t>(&top);
            c.deep = here > in.low_water_ && here - in.low_water_ > (uintptr_t(8) << 20);
            in.ctl_ = Ctl::None;
            in.running = Running{};
            in.frame_ = nullptr;
            in.retired_lists_.clear();
            in.retired_programs_.clear();
            in.low_water_ = UINTPTR_MAX;
        },
        &call);
    // A deep recursion left much stack memory touched: give it back.
    if (call.deep) trim_engine_stack();
    if (call.error) std::rethrow_exception(call.error);
    return std::move(call.result);
}

// ---- running programs ----

namespace {
constexpr uint32_t kMaxEvalNesting = 2000;
}

Mode Interp::mode_for_eval() const {
    // At the top level of a program, eval'd text is one more top-level text; anywhere else it
    // runs inside the scope of its caller.
    const Frame* f = frame_;
    return !f || (f->file_level && !f->eval_frame && f->level() == 0) ? Mode::Static : Mode::Dynamic;
}

Value Interp::run(const std::shared_ptr<Tree>& tree, const Node* node, Mode mode) {
    // This version runs to its end, whatever edits the tree meanwhile.
    const ProgramRef version = tree->current;
    if (!node) node = version->root.get();
    Frame* outer = mode == Mode::Dynamic ? frame_ : nullptr;
    if (frame_) check_stack(nullptr);  // eval() nested in eval() recurses without any script call
    // Names are looked up through the evals around: text that evals itself would make each
    // lookup slower, long before the stack runs out.
    const uint32_t nesting = outer && outer->eval_frame ? outer->eval_nesting + 1 : 0;
    if (nesting > kMaxEvalNesting) fail(nullptr, "Call stack depth exceeded");
    FrameScope scope(*this, version->root->frame, outer, mode == Mode::Static, mode == Mode::Dynamic);
    scope.frame.eval_nesting = nesting;
    RunningScope running_scope(*this, Running{&tree, &version});
    Value r = eval_traced(node, node->parent);
    // break/continue in text a script evaluates act on the loop around that eval call.
    if (ctl_ == Ctl::Return) {
        ctl_ = Ctl::None;
        r = std::move(ret_);
    } else if ((ctl_ == Ctl::Break || ctl_ == Ctl::Continue) && !outer) {
        const bool brk = ctl_ == Ctl::Break;
        ctl_ = Ctl::None;
        fail(nullptr, brk ? "Unexpected `break` statement outside of a loop"
                          : "Unexpected `continue` statement outside of a loop");
    }
    return r;
}

std::shared_ptr<Tree> Interp::parse(const std::string& text, const std::string& filename, Mode mode) {
    auto p = std::make_shared<Program>();
    p->root = parse_text(text, filename);
    p->symbols = syms_;
    resolve_program(*p, mode);
    auto tree = std::make_shared<Tree>();
    tree->current = std::move(p);
    return tree;
}

Value Interp::eval_text(const std::string& text, const std::string& filename) {
    const Mode mode = mode_for_eval();
    return run(parse(text, filename, mode), nullptr, mode);
}

Value Interp::eval_file(const std::string& path) { return eval_text(read_script_file(path), path); }

Value Interp::use_file(const std::string& path) {
    for (const std::string& f : used_files_)
        if (f == path) return Value();
    std::string text = read_script_file(path);
    used_files_.push_back(path);  // before running: a file using itself runs once
    return eval_text(text, path);
}

void Interp::prepare(Program& p) {
    p.symbols = syms_;
    resolve_program(p, Mode::Dynamic);
}

Value Interp::eval_tree(const std::shared_ptr<Tree>& tree, const std::vector<uint32_t>& path) {
    const ProgramRef version = tree->current;
    if (path.empty()) {
        // A whole parsed text runs as it is (functions it defines belong to its tree). A tree
        // that has not run yet is resolved now; one resolved for another use gets a new version.
        if (version->mode == Mode::Unresolved) prepare(const_cast<Program&>(*version));
        if (version->mode != Mode::Dynamic || version->symbols != syms_) {
            auto p = std::make_shared<Program>();
            p->root = copy_tree(*version->root);
            prepare(*p);
            tree->current = std::move(p);
        }
        return run(tree, nullptr, Mode::Dynamic);
    }
    // A part of a tree runs as a copy of its own.
    const Node* node = version->root.get();
    for (uint32_t i : path) node = node->kid(i);
    auto p = std::make_shared<Program>();
    p->root = copy_tree(*node);
    prepare(*p);
    auto copy = std::make_shared<Tree>();
    copy->current = std::move(p);
    return run(copy, nullptr, Mode::Dynamic);
}

// ---- globals ----

void Interp::add_global(const std::string& name, Value v) {
    Value& g = syms_->of(name).global;
    if (!g.is_unset()) throw exception::name_conflict_error(name);
    g = std::move(v);
}

void Interp::set_global(const std::string& name, Value v) {
    Value& g = syms_->of(name).global;
    if (!g.is_unset() && g.is_const()) throw std::runtime_error("Cannot replace constant global " + name);
    g = std::move(v);
}

// ---- script files ----

std::string read_script_file(const std::string& path) {
    // Only regular files: a device or a pipe would be read for ever or never. A directory is
    // reported like a missing file. (stat and S_ISREG exist on POSIX and in MinGW alike.)
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) throw exception::file_not_found_error(path);
    if (!S_ISREG(st.st_mode)) throw exception::file_not_found_error(path, "Not a regular file: " + path);
    constexpr uint64_t kLimit = uint64_t(64) << 20;
    const auto size = static_cast<uint64_t>(st.st_size);
    if (size > kLimit) throw exception::file_not_found_error(path, "File too large (over 64 MiB): " + path);
    std::ifstream f(path, std::ios::binary);
    if (!f) throw exception::file_not_found_error(path);
    // Read what is there (the file may change meanwhile), never more than the limit.
    std::string text(static_cast<size_t>(size), '\0');
    f.read(text.data(), static_cast<std::streamsize>(size));
    text.resize(static_cast<size_t>(f.gcount()));
    if (f.bad()) throw exception::file_not_found_error(path);
    // Editors on Windows like to start UTF-8 files with a byte order mark; it is not code.
    static const std::string bom = "\xEF\xBB\xBF";
    if (text.compare(0, bom.size(), bom) == 0) text.erase(0, bom.size());
    return text;
}

}  // namespace chai
