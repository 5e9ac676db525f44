// Exceptions that leave the engine. Public: the host catches these.
#pragma once
#include <memory>
#include <stdexcept>
#include <string>
#include <typeinfo>
#include <vector>

namespace chai {

struct File_Position {
    int line = 0;
    int column = 0;
};

namespace exception {

// One entry of an eval_error's call stack: an evaluated piece of script.
// Usable as a value (`e.call_stack[0].filename()`) or like a node pointer
// (`e.call_stack[0]->filename()`).
class AST_Node_Trace {
public:
    AST_Node_Trace() = default;
    AST_Node_Trace(std::string file, File_Position start, File_Position end, std::string text,
                   std::string kind = {}, const void* node = nullptr, std::string code = {})
        : m_filename(std::move(file)), m_start(start), m_end(end), m_text(std::move(text)), m_kind(std::move(kind)),
          m_node(node), m_code(std::move(code)) {}
    const std::string& filename() const { return m_filename; }
    const File_Position& start() const { return m_start; }
    const File_Position& end() const { return m_end; }
    // The node's own text: a name, an operator, a literal; empty for most compound nodes.
    const std::string& text() const { return m_text; }
    // The node re-printed as code: "f(a, b)", "(x + 1)".
    const std::string& pretty_print() const { return m_code; }
    // Kind of the node: "Block", "File", "Fun_Call", ...
    const std::string& kind() const { return m_kind; }
    // The engine's node while its evaluation unwinds; only compared, never followed afterwards.
    const void* node() const { return m_node; }
    const AST_Node_Trace* operator->() const { return this; }

private:
    std::string m_filename;
    File_Position m_start, m_end;
    std::string m_text;
    std::string m_kind;
    const void* m_node = nullptr;
    std::string m_code;
};

// Syntax and evaluation errors of a script.
class eval_error : public std::runtime_error {
public:
    std::string reason;
    File_Position start_position;
    std::string filename;
    std::string detail;
    std::vector<AST_Node_Trace> call_stack;

    // Syntax error: located at a parse position.
    eval_error(const std::string& why, File_Position where, const std::string& fname);
    // Run-time error: located through the call stack.
    eval_error(const std::string& why, const std::string& params, std::vector<AST_Node_Trace> stack,
               std::string detail_text = {});

    std::string pretty_print() const;
};

// Integer division by zero.
class arithmetic_error : public std::runtime_error {
public:
    explicit arithmetic_error(const std::string& why) : std::runtime_error("Arithmetic error: " + why) {}
};

// A script file that cannot be read: missing, a directory, no regular file, or too large.
class file_not_found_error : public std::runtime_error {
public:
    explicit file_not_found_error(const std::string& path)
        : std::runtime_error("File Not Found: " + path), filename(path) {}
    file_not_found_error(const std::string& path, const std::string& why) : std::runtime_error(why), filename(path) {}
    std::string filename;
};

// add_global_const with a value that is not const.
class global_non_const : public std::runtime_error {
public:
    explicit global_non_const(const std::string& n)
        : std::runtime_error("a global object must be const"), name(n) {}
    std::string name;
};

// add_global_const with a name that already exists.
class name_conflict_error : public std::runtime_error {
public:
    explicit name_conflict_error(const std::string& n)
        : std::runtime_error("Name already exists in current context " + n), name(n) {}
    std::string name;
};

// A method call on a script object that nothing could serve.
class bad_boxed_cast : public std::bad_cast {
public:
    explicit bad_boxed_cast(std::string what) : m_what(std::move(what)) {}
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    std::string m_what;
};

// A value thrown by a script with throw() that no catch block took. Deliberately not a
// std::exception: the thrown value need not be an error at all.
class uncaught_throw {
public:
    uncaught_throw(std::string type, std::string description, std::shared_ptr<const eval_error> error = {})
        : m_type(std::move(type)), m_description(std::move(description)), m_error(std::move(error)) {}
    // Type name of the thrown value (e.g. "string", "runtime_error", "int").
    const std::string& type_name() const { return m_type; }
    // Readable form: a string as is, an error's what(), otherwise "<type>: <text>".
    const std::string& what() const { return m_description; }
    // The error itself when the value is an eval_error (one a script's eval or eval_file call
    // raised and the script re-threw or did not catch), so a host can still tell where it was.
    const std::shared_ptr<const eval_error>& error() const { return m_error; }

private:
    std::string m_type;
    std::string m_description;
    std::shared_ptr<const eval_error> m_error;
};

// Internal: a numeric failure detected below the evaluator, re-raised by it as eval_error.
class detail_numeric_error {
public:
    explicit detail_numeric_error(std::string r) : reason(std::move(r)) {}
    std::string reason;
};

}  // namespace exception
}  // namespace chai
