#include "chai/chaiscript.hpp"

#include <array>

#include "chai/library/library.hpp"
#include "chai/runtime/interp.hpp"

namespace chai {

namespace {

TypeKey key_of_param(const HostRegistry& reg, const detail::HostParam& p) {
    // The keys of the plain kinds are made once: every engine's bindings need them again.
    static const TypeKey any = key_any(), boolean = key_of(TypeKey::Bool, "bool"),
                         text = key_of(TypeKey::Str, "string");
    static const std::array<TypeKey, static_cast<size_t>(NumKind::LongDouble) + 1> numbers = [] {
        std::array<TypeKey, static_cast<size_t>(NumKind::LongDouble) + 1> keys;
        for (size_t k = 0; k < keys.size(); ++k) keys[k] = key_num(static_cast<NumKind>(k));
        return keys;
    }();
    static const TypeKey none = [] {
        TypeKey k;
        k.kind = TypeKey::Host;
        k.host = &host_type<void>();
        k.name = "void";
        return k;
    }();
    TypeKey k;
    switch (p.kind) {
    case detail::HostParam::Any: k = any; break;
    case detail::HostParam::Number: k = numbers[static_cast<size_t>(p.num)]; break;
    case detail::HostParam::Bool: k = boolean; break;
    case detail::HostParam::String: k = text; break;
    case detail::HostParam::Object: k = host_key(reg, *p.type); break;
    case detail::HostParam::Void: k = none; break;
    }
    k.is_const = p.is_const;
    return k;
}

// What a script value reads as in an error message.
std::string shown(Context& c, const Value& v) {
    try {
        return c.to_text(v);
    } catch (...) {
        return c.type_name(v);
    }
}

// A host function as the engine calls it: the binding's own body, run without a wrapper.
struct HostFn final : Callable {
    explicit HostFn(std::shared_ptr<const detail::HostFunction> f) : Callable(Type::Native), host(std::move(f)) {}
    std::shared_ptr<const detail::HostFunction> host;

    Value call(Interp& in, Args a, const Value*) const override {
        Context& c = in;
        detail::HostCall call(c, a);
        Boxed_Value out;
        const int status = host->body(call, out);
        if (status == detail::kCallOk) return out.value();
        if (status == detail::kCallDeclined) return Value::unset();
        const size_t i = static_cast<size_t>(status);
        c.fail(nullptr, "Error calling function '" + name + "': " + shown(c, a[i]) + " is out of range for parameter " +
                            std::to_string(i + 1) + " (" + kind_name(host->params[i].num) + ")");
    }
};

}  // namespace

Boxed_Value var(const exception::eval_error& e) {
    return Boxed_Value(make_error(ErrorV("eval_error", e.what(), std::make_shared<exception::eval_error>(e))));
}

bool detail::is_function(const Boxed_Value& v) { return v.value().kind() == Kind::Function; }

ChaiScript::ChaiScript() : in_(std::make_unique<Interp>(library_table(), library_types())) {}
ChaiScript::~ChaiScript() = default;

ChaiScript& ChaiScript::add(const Proxy_Function& f, const std::string& name) {
    untouched_ = false;
    auto fn = std::make_shared<HostFn>(f.fn);
    const detail::HostFunction& host = *fn->host;
    fn->name = name;
    fn->arity = host.arity;
    fn->params.reserve(host.params.size());
    for (const detail::HostParam& p : host.params) fn->params.push_back(key_of_param(in_->registry(), p));
    fn->result = key_of_param(in_->registry(), host.result);
    fn->member_getter = host.member_getter;
    fn->checks_numbers = true;
    in_->add_function(in_->syms().of(name), std::move(fn));
    return *this;
}

Bindings::Bindings(std::vector<Entry> functions) : functions_(std::move(functions)) {
    // An engine of its own makes the overload lists, exactly as a new engine given the functions
    // one by one would; the table keeps them with the library's lists of the other names.
    ChaiScript maker;
    for (const Entry& e : functions_) maker.add(e.first, e.second);
    const LibraryTable& lib = library_table();
    auto table = std::make_shared<LibraryTable>(&lib.names);
    table->fns = lib.fns;
    for (const Entry& e : functions_) {
        const uint32_t id = table->names.intern(e.second);
        if (table->fns.size() <= id) table->fns.resize(id + 1);
        table->fns[id] = maker.in_->syms().of(e.second).fns;
    }
    table_ = std::move(table);
}

ChaiScript& ChaiScript::add(const Bindings& functions) {
    // A new engine has met only names of the library, which the prepared table extends: it can
    // take that table in place of the library's. Any other engine adds the functions one by one.
    if (untouched_ && in_->syms().rebase(*functions.table_, functions.table_)) {
        untouched_ = false;
        return *this;
    }
    for (const Bindings::Entry& e : functions.functions_) add(e.first, e.second);
    return *this;
}

ChaiScript& ChaiScript::add(const Type_Registration& t, const std::string& name) {
    untouched_ = false;
    in_->registry().name_type(*t.type, name);
    in_->types_changed();
    return *this;
}

ChaiScript& ChaiScript::add(const Type_Conversion& c) {
    untouched_ = false;
    if (c.base) {
        in_->registry().add_base(*c.derived, *c.base, c.upcast);
    } else {
        HostConversion conv;
        conv.accepts = [accepts = c.accepts](const Value& v) { return accepts(Boxed_Value(v)); };
        conv.convert = [convert = c.convert](Context& ctx, const Value& v) {
            const Boxed_Value value(v);
            detail::HostCall call(ctx, value);
            return convert(call);
        };
        in_->registry().add_conversion(*c.to, std::move(conv));
    }
    in_->types_changed();
    return *this;
}

ChaiScript& ChaiScript::add(const Boxed_Value& value, const std::string& name) {
    untouched_ = false;
    in_->adopt(value.value());
    in_->set_top(name, value.value());
    return *this;
}

ChaiScript& ChaiScript::add_global(const Boxed_Value& value, const std::string& name) {
    untouched_ = false;
    in_->adopt(value.value());
    in_->add_global(name, value.value());
    return *this;
}

ChaiScript& ChaiScript::add_global_const(const Boxed_Value& value, const std::string& name) {
    if (!value.is_const()) throw exception::global_non_const(name);
    return add_global(value, name);
}

ChaiScript& ChaiScript::set_global(const Boxed_Value& value, const std::string& name) {
    untouched_ = false;
    in_->adopt(value.value());
    in_->set_global(name, value.value());
    return *this;
}

void ChaiScript::set_step_limit(uint64_t steps) { in_->set_step_limit(steps); }

Boxed_Value ChaiScript::run(const std::function<Boxed_Value()>& body) {
    untouched_ = false;
    Interp& in = *in_;
    // Called back from a host function: the script's own throws pass through to the script.
    if (in.evaluating()) return body();
    return Boxed_Value(in.enter([&]() -> Value {
        try {
            return body().value();
        } catch (ScriptThrow& t) {
            // The thrown value is described here, while the engine can still run to_string.
            const Value& v = t.value;
            const std::string type = in.type_name(v);
            std::string text;
            std::shared_ptr<const exception::eval_error> error;
            if (const std::string* s = v.str()) {
                text = *s;
            } else if (const ErrorV* e = v.error()) {
                text = e->what();
                error = e->eval();
            } else {
                try {
                    text = type + ": " + in.to_text(v);
                } catch (...) {
                    text = type;
                }
            }
            throw exception::uncaught_throw(type, text, error);
        }
    }));
}

Boxed_Value ChaiScript::eval(const std::string& text, const std::string& filename) {
    return run([&] { return Boxed_Value(in_->eval_text(text, filename)); });
}

Boxed_Value ChaiScript::eval_file(const std::string& path) {
    return run([&] { return Boxed_Value(in_->eval_file(path)); });
}

Boxed_Value ChaiScript::use(const std::string& path) {
    return run([&] { return Boxed_Value(in_->use_file(path)); });
}

Boxed_Value ChaiScript::call(const Boxed_Value& fn, std::vector<Boxed_Value> args) {
    return run([&] {
        std::vector<Arg> a;
        for (const Boxed_Value& v : args) a.push_back({v.value()});
        return Boxed_Value(in_->call_value(fn.value(), Args{a.data(), a.size()}));
    });
}

}  // namespace chai
