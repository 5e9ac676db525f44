// Conversions of script values into C++ parameter types (used by chaiscript.hpp):
//   vector_conversion<std::vector<E>>()          script Vector -> vector, every element exactly E
//   map_conversion<std::map<std::string, E>>()   script Map -> map, every value exactly E
//   type_conversion<From, To>([convert])         From (number, string, bool or host type) -> To,
//                                                a class type; static_cast unless convert is given
//   base_class<Base, Derived>()                  Derived objects where Base is wanted
// A conversion is tried only for parameters of the target type, after exact and base-class matches.
#pragma once
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>

#include "chai/binding.hpp"

namespace chai {

// A conversion between script values and C++ types (base classes, containers, user conversions).
struct Type_Conversion {
    // A base class: pointers to derived objects become pointers to base objects.
    const HostTypeInfo* derived = nullptr;
    const HostTypeInfo* base = nullptr;
    void* (*upcast)(void*) = nullptr;
    // A conversion into `to`: a cheap shape test, then the conversion itself (null: no fit).
    const HostTypeInfo* to = nullptr;
    std::function<bool(const Boxed_Value&)> accepts;
    std::function<std::shared_ptr<void>(detail::HostCall&)> convert;
};

namespace detail {

// One container element as exactly E (no conversion of any kind).
template <class E> std::optional<E> element_as(const Boxed_Value& v) {
    if constexpr (std::is_arithmetic_v<E> && !std::is_same_v<E, bool>) {
        Number n;
        if (!read_number(v, n) || n.kind != kind_for<E>()) return std::nullopt;
        return n.as<E>();
    } else if constexpr (std::is_same_v<E, bool>) {
        bool b = false;
        if (!read_bool(v, b)) return std::nullopt;
        return b;
    } else if constexpr (std::is_same_v<E, std::string>) {
        const std::string* s = string_in(v);
        if (!s) return std::nullopt;
        return *s;
    } else {
        const void* p = object_exactly(v, host_type<E>());
        if (!p) return std::nullopt;
        return *static_cast<const E*>(p);
    }
}

// Whether a script value has the shape of a C++ type (checked before converting).
template <class F> bool holds(const Boxed_Value& v) {
    using D = bare_t<F>;
    if constexpr (std::is_same_v<D, bool>) {
        bool b = false;
        return read_bool(v, b);
    } else if constexpr (std::is_arithmetic_v<D>) {
        Number n;
        return read_number(v, n);
    } else if constexpr (std::is_same_v<D, std::string>) {
        return string_in(v) != nullptr;
    } else {
        return object_exactly(v, host_type<D>()) != nullptr;
    }
}

template <class To> Type_Conversion conversion(std::function<bool(const Boxed_Value&)> accepts,
                                               std::function<std::shared_ptr<void>(HostCall&)> convert) {
    Type_Conversion c;
    c.to = &host_type<To>();
    c.accepts = std::move(accepts);
    c.convert = std::move(convert);
    return c;
}

}  // namespace detail

template <class V> Type_Conversion vector_conversion() {
    return detail::conversion<V>(
        [](const Boxed_Value& v) {
            std::vector<Boxed_Value> items;
            return detail::vector_elements(v, items);
        },
        [](detail::HostCall& call) -> std::shared_ptr<void> {
            std::vector<Boxed_Value> items;
            detail::vector_elements(call.arg(0), items);
            auto out = std::make_shared<V>();
            for (const Boxed_Value& e : items) {
                auto x = detail::element_as<typename V::value_type>(e);
                if (!x) return nullptr;
                out->push_back(std::move(*x));
            }
            return out;
        });
}

template <class M> Type_Conversion map_conversion() {
    static_assert(std::is_same_v<typename M::key_type, std::string>, "script maps have string keys");
    return detail::conversion<M>(
        [](const Boxed_Value& v) {
            std::vector<std::pair<std::string, Boxed_Value>> entries;
            return detail::map_entries(v, entries);
        },
        [](detail::HostCall& call) -> std::shared_ptr<void> {
            std::vector<std::pair<std::string, Boxed_Value>> entries;
            detail::map_entries(call.arg(0), entries);
            auto out = std::make_shared<M>();
            for (const auto& [k, e] : entries) {
                auto x = detail::element_as<typename M::mapped_type>(e);
                if (!x) return nullptr;
                out->emplace(k, std::move(*x));
            }
            return out;
        });
}

template <class From, class To>
Type_Conversion type_conversion(std::function<To(const From&)> convert = [](const From& f) { return static_cast<To>(f); }) {
    static_assert(std::is_class_v<To> && !std::is_same_v<To, std::string>,
                  "conversions produce class types; numbers and strings convert by themselves");
    return detail::conversion<To>(
        [](const Boxed_Value& v) { return detail::holds<From>(v); },
        [convert](detail::HostCall& call) -> std::shared_ptr<void> {
            detail::ArgHolder<const From&> from;
            if (from.load(call, 0) != detail::Fit::Ok) return nullptr;
            return std::make_shared<To>(convert(from.get()));
        });
}

template <class Base, class Derived> Type_Conversion base_class() {
    Type_Conversion c;
    c.derived = &host_type<Derived>();
    c.base = &host_type<Base>();
    c.upcast = [](void* p) -> void* { return static_cast<Base*>(static_cast<Derived*>(p)); };
    return c;
}

}  // namespace chai
