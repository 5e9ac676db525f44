#include "chai/library/library.hpp"

#include <set>

namespace chai {

void LibBuilder::append(const std::string& name, FuncRef f) {
    const uint32_t id = table_.names.intern(name);
    if (table_.fns.size() <= id) table_.fns.resize(id + 1);
    auto list = table_.fns[id] ? std::make_shared<FnList>(*table_.fns[id]) : std::make_shared<FnList>();
    list->push_back(std::move(f));
    table_.fns[id] = std::move(list);
}

TypeKey LibBuilder::result_of(const std::string& name) {
    // Comparisons and tests give bools, as function descriptions report.
    static const std::set<std::string> tests = {"==", "!=", "<", "<=", ">", ">=", "!", "empty", "is_type",
                                                "is_var_undef", "bare_equal", "type_match", "has_guard", "has_attr"};
    return tests.count(name) ? key_of(TypeKey::Bool, "bool") : TypeKey();
}

void LibBuilder::add(const std::string& name, std::vector<TypeKey> params, LibFn fn, int arity) {
    append(name, make_native(name, std::move(params), std::move(fn), arity, result_of(name)));
}

void LibBuilder::add_member(const std::string& name, TypeKey owner, LibFn fn) {
    auto f = std::make_shared<NativeFn>();
    f->name = name;
    f->arity = 1;
    f->params = {std::move(owner)};
    f->fn = std::move(fn);
    f->member_getter = true;
    append(name, std::move(f));
}

void LibBuilder::add_untyped(const std::string& name, int arity, LibFn fn, std::function<bool(Args)> guard) {
    auto f = std::make_shared<NativeFn>();
    f->name = name;
    f->arity = arity;
    f->params.assign(static_cast<size_t>(arity < 0 ? 0 : arity), key_any());
    f->fn = std::move(fn);
    f->host = false;
    f->guarded = static_cast<bool>(guard);
    f->guard = std::move(guard);
    append(name, std::move(f));
}

TypeKey K(const char* name) {
    if (!*name) return key_any();
    const TypeKey* k = builtin_type_key(name);
    return k ? *k : key_any();
}

namespace {
struct Library {
    LibraryTable table;
    HostRegistry types;
    Library() {
        for (const char* n : kLeadingNames) table.names.intern(n);
        LibBuilder b(table, types);
        add_core_lib(b);
        add_text_lib(b);
        add_type_lib(b);
        add_function_lib(b);
        add_number_lib(b);
        add_string_lib(b);
        add_container_lib(b);
        add_functional_lib(b);
        add_reflect_lib(b);
        add_json_lib(b);
        add_ast_lib(b);
        add_async_lib(b);
        table.fns.resize(table.names.end());
    }
};
const Library& library() {
    static const Library lib;
    return lib;
}
}  // namespace

const LibraryTable& library_table() { return library().table; }
const HostRegistry& library_types() { return library().types; }

}  // namespace chai
