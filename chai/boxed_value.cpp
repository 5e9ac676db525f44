#include "chai/boxed_value.hpp"

#include <new>

#include "chai/runtime/value.hpp"

namespace chai {

static_assert(sizeof(Value) <= 16 && alignof(Value) <= 8, "Boxed_Value holds a Value in place");

Boxed_Value::Boxed_Value() noexcept { new (bytes_) Value(); }
Boxed_Value::Boxed_Value(const Value& v) noexcept { new (bytes_) Value(v); }
Boxed_Value::Boxed_Value(const Boxed_Value& o) noexcept { new (bytes_) Value(o.value()); }
Boxed_Value::Boxed_Value(Boxed_Value&& o) noexcept { new (bytes_) Value(std::move(o.value())); }
Boxed_Value& Boxed_Value::operator=(const Boxed_Value& o) noexcept {
    value() = o.value();
    return *this;
}
Boxed_Value& Boxed_Value::operator=(Boxed_Value&& o) noexcept {
    value() = std::move(o.value());
    return *this;
}
Boxed_Value::~Boxed_Value() { value().~Value(); }

const Value& Boxed_Value::value() const noexcept { return *std::launder(reinterpret_cast<const Value*>(bytes_)); }
Value& Boxed_Value::value() noexcept { return *std::launder(reinterpret_cast<Value*>(bytes_)); }

bool Boxed_Value::is_undef() const noexcept { return value().is_undef(); }
bool Boxed_Value::is_const() const noexcept { return value().is_const(); }
long Boxed_Value::use_count() const noexcept {
    // Holders of this value's cell, as the host shares it.
    const Box* b = value().cell();
    return b ? static_cast<long>(b->refs) : 0;
}

}  // namespace chai
