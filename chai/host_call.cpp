#include "chai/host_call.hpp"

#include <cmath>
#include <typeinfo>

#include "chai/runtime/callable.hpp"
#include "chai/runtime/context.hpp"
#include "chai/runtime/host_registry.hpp"

namespace chai::detail {

Boxed_Value HostCall::arg(size_t i) const { return single_ ? *single_ : Boxed_Value((*args_)[i]); }
Boxed_Value HostCall::ref(size_t i) const { return single_ ? *single_ : Boxed_Value(args_->ref(i)); }

bool read_bool(const Boxed_Value& v, bool& out) {
    if (!v.value().is_bool()) return false;
    out = v.value().as_bool();
    return true;
}

bool read_number(const Boxed_Value& v, Number& out) {
    if (!v.value().is_num()) return false;
    out = v.value().num();
    return true;
}

Fit read_signed(const Boxed_Value& v, int64_t lo, int64_t hi, int64_t& out) {
    Number n;
    if (!read_number(v, n)) return Fit::No;
    if (n.is_floating()) {
        const long double d = std::trunc(static_cast<long double>(n.as<double>()));
        if (!(d >= static_cast<long double>(lo) && d <= static_cast<long double>(hi))) return Fit::OutOfRange;
        out = static_cast<int64_t>(d);
        return Fit::Ok;
    }
    if (kind_is_signed(n.kind)) {
        if (n.i < lo || n.i > hi) return Fit::OutOfRange;
        out = n.i;
        return Fit::Ok;
    }
    if (n.u > static_cast<uint64_t>(hi)) return Fit::OutOfRange;
    out = static_cast<int64_t>(n.u);
    return Fit::Ok;
}

Fit read_unsigned(const Boxed_Value& v, uint64_t hi, uint64_t& out) {
    Number n;
    if (!read_number(v, n)) return Fit::No;
    if (n.is_floating()) {
        const long double d = std::trunc(static_cast<long double>(n.as<double>()));
        if (!(d >= 0 && d <= static_cast<long double>(hi))) return Fit::OutOfRange;
        out = static_cast<uint64_t>(d);
        return Fit::Ok;
    }
    if (kind_is_signed(n.kind) && n.i < 0) return Fit::OutOfRange;
    if (n.u > hi) return Fit::OutOfRange;
    out = n.u;
    return Fit::Ok;
}

std::string* string_in(const Boxed_Value& v) { return v.value().str(); }

void* object_exactly(const Boxed_Value& v, const HostTypeInfo& t) {
    const HostObj* h = v.value().host();
    // The same type described twice (once per shared library) is still the same type.
    return h && (h->type == &t || *h->type->type == *t.type) ? h->ptr.get() : nullptr;
}

void* object_in(Context& c, const Boxed_Value& v, const HostTypeInfo& t, std::shared_ptr<void>& keep) {
    const Value& x = v.value();
    if (const HostObj* h = x.host()) {
        if (h->type == &t || *h->type->type == *t.type) {
            keep = h->ptr;
            return h->ptr.get();
        }
        if (Upcast up = c.registry().base_cast(*h->type, t)) {
            keep = h->ptr;
            return up(h->ptr.get());
        }
    }
    if (const HostConversion* conv = c.registry().conversion_to(t, x)) {
        keep = conv->convert(c, x);
        return keep.get();
    }
    return nullptr;
}

bool vector_elements(const Boxed_Value& v, std::vector<Boxed_Value>& out) {
    const Vector* items = v.value().vec();
    if (!items) return false;
    for (const Value& e : *items) out.emplace_back(e);
    return true;
}

bool map_entries(const Boxed_Value& v, std::vector<std::pair<std::string, Boxed_Value>>& out) {
    const Map* m = v.value().map();
    if (!m) return false;
    for (const auto& [k, e] : *m) out.emplace_back(k, Boxed_Value(e));
    return true;
}

void write_number(const Boxed_Value& target, const Number& n) {
    Box* b = target.value().box();
    if (!b || !b->holds_scalar() || !b->scalar().is_num()) return;
    b->scalar() = Value::number(num_convert(n, b->scalar().num().kind));
    written(b);
}

void write_bool(const Boxed_Value& target, bool value) {
    Box* b = target.value().box();
    if (!b || !b->holds_scalar() || !b->scalar().is_bool()) return;
    b->scalar() = Value::boolean(value);
    written(b);
}

Boxed_Value make_bool_value(bool b) { return Boxed_Value(make_bool(b)); }
Boxed_Value make_number_value(const Number& n) { return Boxed_Value(make_num(n)); }
Boxed_Value make_string_value(std::string s) { return Boxed_Value(make_str(std::move(s))); }

Boxed_Value make_object_value(const HostTypeInfo& t, std::shared_ptr<void> p, bool fresh) {
    return Boxed_Value(make_box<P_Host>(HostObj{&t, std::move(p), nullptr}, fresh ? kTemp : 0));
}

Boxed_Value make_reference_value(Boxed_Value copy, std::function<void(const Boxed_Value&)> write) {
    return Boxed_Value(make_host_ref(copy.value(), [write = std::move(write)](const Value& v) { write(Boxed_Value(v)); }));
}

void give_box(Boxed_Value& v) { promote(v.value()); }

Boxed_Value as_variable(Boxed_Value v, bool constant) {
    // A box even for a number: the host and the scripts it hands the value to share it.
    Value& x = promote(v.value());
    x.set_flags(static_cast<uint8_t>((x.flags() & ~kTemp) | (constant ? kConst : 0)));
    return v;
}

const char* held_type_name(const Boxed_Value& v) {
    const Value& x = v.value();
    switch (x.kind()) {
    case Kind::Undef: return typeid(void).name();
    case Kind::Bool: return typeid(bool).name();
    case Kind::String: return typeid(std::string).name();
    case Kind::Host: return x.host()->type->type->name();
    case Kind::Number:
        switch (x.num().kind) {
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

}  // namespace chai::detail
