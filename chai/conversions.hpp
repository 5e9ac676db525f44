// Conversions of script values into C++ parameter types (used by chaiscript.hpp):
//   vector_conversion<std::vector<E>>()          script Vector -> vector, every element exactly E
//   map_conversion<std::map<std::string, E>>()   script Map -> map, every value exactly E
//   type_conversion<From, To>([convert])         From (number, string, bool or host type) -> To,
//                                                a class type; static_cast unless convert is given
// A conversion is tried only for parameters of the target type, after exact and base-class matches.
#pragma once
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <typeindex>

#include "chai/binding.hpp"

namespace chai {

// A conversion between script values and C++ types (base classes, containers, user conversions).
struct Type_Conversion {
    std::function<void(HostRegistry&)> install;
};

namespace detail {

// One container element as exactly E; throws ConversionFailed otherwise.
template <class E> E element_as(const BoxRef& b) {
    if constexpr (std::is_arithmetic_v<E> && !std::is_same_v<E, bool>) {
        if (!b->is_num() || b->num().kind != kind_for<E>()) throw ConversionFailed{};
        return b->num().as<E>();
    } else if constexpr (std::is_same_v<E, bool>) {
        auto* x = std::get_if<bool>(&b->v);
        if (!x) throw ConversionFailed{};
        return *x;
    } else if constexpr (std::is_same_v<E, std::string>) {
        auto* x = std::get_if<std::string>(&b->v);
        if (!x) throw ConversionFailed{};
        return *x;
    } else {
        auto* h = std::get_if<HostObj>(&b->v);
        if (!h || *h->type != typeid(E)) throw ConversionFailed{};
        return *static_cast<E*>(h->ptr.get());
    }
}

// Whether a script value has the shape of a C++ type (checked before converting).
template <class F> bool holds(const Box& b) {
    using D = std::remove_cv_t<std::remove_reference_t<F>>;
    if constexpr (std::is_same_v<D, bool>) return b.idx() == V_Bool;
    else if constexpr (std::is_arithmetic_v<D>) return b.is_num();
    else if constexpr (std::is_same_v<D, std::string>) return b.idx() == V_String;
    else if constexpr (std::is_same_v<D, Vector>) return b.idx() == V_Vector;
    else if constexpr (std::is_same_v<D, Map>) return b.idx() == V_Map;
    else {
        auto* h = std::get_if<HostObj>(&b.v);
        return h && *h->type == typeid(D);
    }
}

template <class To> void add_conversion(HostRegistry& r, bool (*accepts)(const Box&),
                                        std::function<std::shared_ptr<void>(Interp&, const BoxRef&)> convert) {
    note_host_type<To>();
    r.conversions.emplace(std::type_index(typeid(To)), HostConversion{accepts, std::move(convert)});
}

}  // namespace detail

template <class V> Type_Conversion vector_conversion() {
    return {[](HostRegistry& r) {
        detail::add_conversion<V>(r, &detail::holds<Vector>, [](Interp&, const BoxRef& b) -> std::shared_ptr<void> {
            auto out = std::make_shared<V>();
            for (const BoxRef& e : std::get<Vector>(b->v)) out->push_back(detail::element_as<typename V::value_type>(e));
            return out;
        });
    }};
}

template <class M> Type_Conversion map_conversion() {
    static_assert(std::is_same_v<typename M::key_type, std::string>, "script maps have string keys");
    return {[](HostRegistry& r) {
        detail::add_conversion<M>(r, &detail::holds<Map>, [](Interp&, const BoxRef& b) -> std::shared_ptr<void> {
            auto out = std::make_shared<M>();
            for (const auto& [k, v] : std::get<Map>(b->v))
                out->emplace(k, detail::element_as<typename M::mapped_type>(v));
            return out;
        });
    }};
}

template <class From, class To>
Type_Conversion type_conversion(std::function<To(const From&)> convert = [](const From& f) { return static_cast<To>(f); }) {
    static_assert(std::is_class_v<To> && !std::is_same_v<To, std::string>,
                  "conversions produce class types; numbers and strings convert by themselves");
    return {[convert](HostRegistry& r) {
        detail::add_conversion<To>(r, &detail::holds<From>, [convert](Interp& in, const BoxRef& b) -> std::shared_ptr<void> {
            detail::ArgHolder<const From&> from(in, b);
            return std::make_shared<To>(convert(from.get()));
        });
    }};
}

}  // namespace chai
