#include "chai/chaiscript.hpp"

#include <fstream>
#include <sstream>

#include "chai/syntax/parser.hpp"

namespace chai {

namespace detail {
const char* held_type_name(const Box& b) {
    switch (b.idx()) {
    case V_Undef: return typeid(void).name();
    case V_Bool: return typeid(bool).name();
    case V_String: return typeid(std::string).name();
    case V_Host: return std::get<HostObj>(b.v).type->name();
    case V_Number:
        switch (b.num().kind) {
        case NumKind::Int8: return typeid(int8_t).name();
        case NumKind::UInt8: return typeid(uint8_t).name();
        case NumKind::Int16: return typeid(int16_t).name();
        case NumKind::UInt16: return typeid(uint16_t).name();
        case NumKind::Int: return typeid(int).name();
        case NumKind::UInt: return typeid(unsigned).name();
        case NumKind::Long: return typeid(int64_t).name();
        case NumKind::ULong: return typeid(uint64_t).name();
        case NumKind::LongLong: return typeid(long long).name();
        case NumKind::ULongLong: return typeid(unsigned long long).name();
        case NumKind::Char: return typeid(char).name();
        case NumKind::WChar: return typeid(wchar_t).name();
        case NumKind::Char16: return typeid(char16_t).name();
        case NumKind::Char32: return typeid(char32_t).name();
        case NumKind::Float: return typeid(float).name();
        case NumKind::Double: return typeid(double).name();
        case NumKind::LongDouble: return typeid(long double).name();
        }
        break;
    default: break;
    }
    // Script-only kinds (containers, functions, objects) have no C++ type of their own here.
    return typeid(Value).name();
}
}  // namespace detail

ChaiScript::ChaiScript() : in_(std::make_unique<Interp>()) {}
ChaiScript::~ChaiScript() = default;

ChaiScript& ChaiScript::add(const Proxy_Function& f, const std::string& name) {
    auto copy = std::make_shared<NativeFn>(dynamic_cast<const NativeFn&>(*f.fn));
    copy->name = name;
    // Parameter names may have been registered after fun() was called.
    for (TypeKey& k : copy->params)
        if (k.kind == TypeKey::Host)
            if (const HostType* t = find_host_type(*k.host); t && !t->name.empty()) k.name = t->name;
    in_->add_function(intern(name), copy);
    return *this;
}

ChaiScript& ChaiScript::add(const Type_Registration& t, const std::string& name) {
    register_host_type(*t.type, name, t.copy);
    TypeKey k;
    k.kind = TypeKey::Host;
    k.host = t.type;
    k.name = name;
    in_->reg.type_names[name] = k;
    return *this;
}

ChaiScript& ChaiScript::add(const Type_Conversion& c) {
    c.install(in_->reg);
    return *this;
}

// Values handed over by the host may end up in cycles with the engine's own values.
void ChaiScript::adopt(const Boxed_Value& value) {
    if (!value) return;
    TrackingScope tracking(&in_->tracker);
    track_box(*value);
}

ChaiScript& ChaiScript::add(const Boxed_Value& value, const std::string& name) {
    adopt(value);
    uint32_t id = intern(name);
    for (auto& [k, v] : in_->locals)
        if (k == id) {
            v = value;
            return *this;
        }
    in_->locals.emplace_back(id, value);
    ++in_->shadow_epoch;
    return *this;
}

ChaiScript& ChaiScript::add_global(const Boxed_Value& value, const std::string& name) {
    adopt(value);
    in_->add_global(name, value);
    return *this;
}

ChaiScript& ChaiScript::add_global_const(const Boxed_Value& value, const std::string& name) {
    if (!value->is_const) throw exception::global_non_const(name);
    adopt(value);
    in_->add_global(name, value);
    return *this;
}

ChaiScript& ChaiScript::set_global(const Boxed_Value& value, const std::string& name) {
    adopt(value);
    in_->set_global(name, value);
    return *this;
}

void ChaiScript::set_step_limit(uint64_t steps) {
    in_->step_limit_ = steps;
    in_->steps_ = 0;
}

Boxed_Value ChaiScript::guarded(const std::function<Boxed_Value()>& run) {
    in_->ctl = Ctl::None;
    in_->steps_ = 0;
    try {
        return run();
    } catch (ScriptThrow& t) {
        in_->ctl = Ctl::None;
        const Box& b = *t.value;
        std::string type = type_name_of(b);
        std::string text;
        std::shared_ptr<const exception::eval_error> error;
        if (auto* s = std::get_if<std::string>(&b.v)) {
            text = *s;
        } else if (auto* e = std::get_if<ErrorV>(&b.v)) {
            text = e->what();
            error = e->eval();
        } else {
            try {
                text = type + ": " + in_->to_text(t.value);
            } catch (...) {
                text = type;
            }
        }
        throw exception::uncaught_throw(type, text, error);
    } catch (...) {
        in_->ctl = Ctl::None;
        throw;
    }
}

Boxed_Value ChaiScript::eval(const std::string& text, const std::string& filename) {
    return guarded([&] { return in_->eval_text(text, filename); });
}

Boxed_Value ChaiScript::eval_file(const std::string& path) {
    return guarded([&] { return in_->eval_file(path); });
}

Boxed_Value ChaiScript::call(const Boxed_Value& fn, std::vector<Boxed_Value> args) {
    return guarded([&] { return in_->call_value(fn, Args{args.data(), args.size()}, nullptr); });
}

Boxed_Value ChaiScript::use(const std::string& path) {
    return guarded([&] { return in_->use_file(path); });
}

}  // namespace chai
