// Running programs: parsing and resolving texts, running trees (whole or in part) and reading
// script files.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string_view>
#include <system_error>
#include <utility>

#include "chai/runtime/resolve.hpp"
#include "chai/runtime/scopes.hpp"
#include "chai/stack/stack.hpp"
#include "chai/syntax/parser.hpp"

namespace chai {

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
    if (nesting > kMaxEvalNesting) fail(nullptr, kDepthExceeded);
    FrameScope scope(*this, version->root->frame, Running{&tree, &version}, outer, mode == Mode::Static,
                     mode == Mode::Dynamic);
    scope.frame.eval_nesting = nesting;
    Value r;
    try {
        r = eval_traced(node, node->parent);
    } catch (const LoopJump& j) {
        outside_loop(j.ctl);
    }
    // A text is a boundary for loop control: a break or continue reaching its top level is an
    // error, also in text a script evaluates inside a loop.
    if (ctl_ == Ctl::Return) {
        ctl_ = Ctl::None;
        r = std::move(ret_);
    } else if (ctl_ != Ctl::None) {
        outside_loop(std::exchange(ctl_, Ctl::None));
    }
    return r;
}

void Interp::outside_loop(Ctl c) {
    fail(nullptr, c == Ctl::Break ? "Unexpected `break` statement outside of a loop"
                                  : "Unexpected `continue` statement outside of a loop");
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

// ---- script files ----

std::string read_script_file(const std::string& path) {
    // Only regular files: a device or a pipe would be read for ever or never. A directory is
    // reported like a missing file.
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path where(path);  // made once: a path splits its text into parts when made
    const fs::file_status st = fs::status(where, ec);
    if (ec || !fs::exists(st) || fs::is_directory(st)) throw exception::file_not_found_error(path);
    if (!fs::is_regular_file(st)) throw exception::file_not_found_error(path, "Not a regular file: " + path);
    constexpr uint64_t kLimit = uint64_t(64) << 20;
    const uint64_t size = fs::file_size(where, ec);
    if (ec) throw exception::file_not_found_error(path);
    if (size > kLimit) throw exception::file_not_found_error(path, "File too large (over 64 MiB): " + path);
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!f) throw exception::file_not_found_error(path);
    // Unbuffered: the text goes straight into the string (a script runs for every host call, and
    // a stream's set-up and buffer cost more than reading a small file).
    std::setvbuf(f.get(), nullptr, _IONBF, 0);
    // Read what is there (the file may change meanwhile), never more than the limit.
    std::string text(static_cast<size_t>(size), '\0');
    text.resize(std::fread(text.data(), 1, text.size(), f.get()));
    if (std::ferror(f.get())) throw exception::file_not_found_error(path);
    // Editors on Windows like to start UTF-8 files with a byte order mark; it is not code.
    constexpr std::string_view bom = "\xEF\xBB\xBF";
    if (std::string_view(text).substr(0, bom.size()) == bom) text.erase(0, bom.size());
    return text;
}

}  // namespace chai
