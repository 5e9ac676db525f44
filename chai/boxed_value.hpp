// A script value held by the host: numbers, bools, strings, containers, objects, functions.
#pragma once

namespace chai {

class Value;

class Boxed_Value {
public:
    // An undefined value.
    Boxed_Value() noexcept;
    Boxed_Value(const Boxed_Value& o) noexcept;
    Boxed_Value(Boxed_Value&& o) noexcept;
    Boxed_Value& operator=(const Boxed_Value& o) noexcept;
    Boxed_Value& operator=(Boxed_Value&& o) noexcept;
    ~Boxed_Value();

    bool is_undef() const noexcept;
    bool is_const() const noexcept;
    // How many holders share the value (0 for a number, bool or undefined value held directly).
    long use_count() const noexcept;

    // The engine's own representation (for code inside chai).
    explicit Boxed_Value(const Value& v) noexcept;
    const Value& value() const noexcept;
    Value& value() noexcept;

private:
    alignas(8) unsigned char bytes_[16];
};

}  // namespace chai
