#include <set>

#include "chai/library/library.hpp"

namespace chai {

void LibBuilder::append(const std::string& name, FuncRef f) {
    auto& slot = table_[intern(name)];
    if (!slot) slot = std::make_shared<FnList>();
    slot->push_back(std::move(f));
}

void LibBuilder::add(const std::string& name, std::vector<TypeKey> params, std::function<BoxRef(Interp&, Args)> fn,
                     int arity) {
    // Comparisons and tests give bools, as function descriptions report.
    static const std::set<std::string> tests = {"==", "!=", "<", "<=", ">", ">=", "!", "empty", "is_type",
                                                "is_var_undef", "bare_equal", "type_match", "has_guard", "has_attr"};
    TypeKey result = tests.count(name) ? key_of(TypeKey::Bool, "bool") : TypeKey();
    auto f = make_native(name, std::move(params), std::move(fn), arity, std::move(result));
    append(name, std::move(f));
}

void LibBuilder::add_member(const std::string& name, TypeKey owner, std::function<BoxRef(Interp&, Args)> fn) {
    auto f = std::make_shared<NativeFn>();
    f->name = name;
    f->arity = 1;
    f->params = {std::move(owner)};
    f->fn = std::move(fn);
    f->member_getter = true;
    append(name, std::move(f));
}

void LibBuilder::add_untyped(const std::string& name, int arity, std::function<BoxRef(Interp&, Args)> fn,
                             std::function<bool(Args)> guard) {
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
    if (std::string(name) == "Number") {
        TypeKey t;
        t.kind = TypeKey::Arith;
        t.name = "Number";
        return t;
    }
    const TypeKey* k = builtin_type_key(name);
    return k ? *k : key_any();
}

BoxRef undef() { return make_undef(); }

const FnTable& stdlib_functions() {
    static const FnTable table = [] {
        FnTable t;
        LibBuilder b(t);
        add_core_lib(b);
        add_string_lib(b);
        add_container_lib(b);
        add_functional_lib(b);
        add_reflect_lib(b);
        add_json_lib(b);
        add_ast_lib(b);
        add_async_lib(b);
        return t;
    }();
    return table;
}

}  // namespace chai
