// Template glue between C++ functions and script values (used by chaiscript.hpp).
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <type_traits>
#include <typeindex>
#include <typeinfo>
#include <utility>
#include <vector>

#include "chai/runtime/char_ref.hpp"
#include "chai/runtime/interp.hpp"

namespace chai::detail {

template <class T> struct is_shared_ptr : std::false_type {};
template <class T> struct is_shared_ptr<std::shared_ptr<T>> : std::true_type { using element = T; };

template <class D> std::shared_ptr<void> copy_object(const void* p) {
    return std::make_shared<D>(*static_cast<const D*>(p));
}

// Makes clones of host values possible (and names them if the type was registered).
template <class D> void note_host_type() {
    if constexpr (std::is_copy_constructible_v<D> && !std::is_abstract_v<D>)
        register_host_type(typeid(D), "", &copy_object<D>);
    else
        register_host_type(typeid(D), "", nullptr);
}

template <class D> TypeKey host_key() {
    TypeKey k;
    k.kind = TypeKey::Host;
    k.host = &typeid(D);
    const HostType* t = find_host_type(typeid(D));
    k.name = t && !t->name.empty() ? t->name : typeid(D).name();
    return k;
}

template <class P> TypeKey plain_param_key() {
    using D = std::remove_cv_t<std::remove_reference_t<P>>;
    if constexpr (std::is_same_v<D, bool>) return key_of(TypeKey::Bool, "bool");
    else if constexpr (std::is_arithmetic_v<D>) return key_num(kind_for<D>());
    else if constexpr (std::is_same_v<D, std::string>) return key_of(TypeKey::Str, "string");
    else if constexpr (std::is_same_v<D, BoxRef>) return key_any();
    else if constexpr (is_shared_ptr<D>::value) return host_key<std::remove_cv_t<typename is_shared_ptr<D>::element>>();
    else if constexpr (std::is_pointer_v<D>) return host_key<std::remove_cv_t<std::remove_pointer_t<D>>>();
    else return host_key<D>();
}

// A const reference or pointer-to-const parameter is listed as "const T" in dispatch errors.
template <class P> TypeKey param_key() {
    using R = std::remove_reference_t<P>;
    TypeKey k = plain_param_key<P>();
    k.is_const = std::is_const_v<std::remove_pointer_t<R>> || (std::is_reference_v<P> && std::is_const_v<R>);
    return k;
}

// Finds the C++ object of type D inside a script value (exact type, registered base, or conversion).
template <class D> D* host_ptr(Interp& in, const BoxRef& b, std::shared_ptr<void>& keep) {
    if (auto* h = std::get_if<HostObj>(&b->v)) {
        if (*h->type == typeid(D)) {
            keep = h->ptr;
            return static_cast<D*>(h->ptr.get());
        }
        auto it = in.reg.bases.find({std::type_index(*h->type), std::type_index(typeid(D))});
        if (it != in.reg.bases.end()) {
            keep = h->ptr;
            return static_cast<D*>(it->second(h->ptr.get()));
        }
    }
    if (const HostConversion* c = in.reg.conversion_to(typeid(D), *b)) {
        keep = c->convert(in, b);
        return static_cast<D*>(keep.get());
    }
    throw ConversionFailed{};
}

// Holds one converted argument for the duration of a call.
template <class P> struct ArgHolder {
    using D = std::remove_cv_t<std::remove_reference_t<P>>;
    static constexpr bool kValue = std::is_arithmetic_v<D>;
    std::conditional_t<kValue, D, char> value{};
    D* ptr = nullptr;
    std::shared_ptr<void> keep;

    ArgHolder(Interp& in, const BoxRef& b) {
        if constexpr (std::is_same_v<D, bool>) {
            auto* v = std::get_if<bool>(&b->v);
            if (!v) throw ConversionFailed{};
            value = *v;
        } else if constexpr (kValue) {
            if (!b->is_num()) throw ConversionFailed{};
            value = b->num().as<D>();
        } else if constexpr (std::is_same_v<D, std::string>) {
            ptr = std::get_if<std::string>(&b->v);
            if (!ptr) throw ConversionFailed{};
        } else if constexpr (std::is_same_v<D, BoxRef>) {
            keep = std::make_shared<BoxRef>(b);
            ptr = static_cast<BoxRef*>(keep.get());
        } else if constexpr (is_shared_ptr<D>::value) {
            using E = std::remove_cv_t<typename is_shared_ptr<D>::element>;
            std::shared_ptr<void> owner;
            E* p = host_ptr<E>(in, b, owner);
            keep = std::make_shared<D>(owner, p);
            ptr = static_cast<D*>(keep.get());
        } else if constexpr (std::is_pointer_v<D>) {
            using E = std::remove_cv_t<std::remove_pointer_t<D>>;
            E* p = host_ptr<E>(in, b, keep);
            keep = std::make_shared<D>(p);
            ptr = static_cast<D*>(keep.get());
        } else {
            ptr = host_ptr<D>(in, b, keep);
        }
    }

    P get() {
        if constexpr (kValue) return static_cast<P>(value);
        else if constexpr (std::is_rvalue_reference_v<P>) return std::move(*ptr);
        else return *ptr;
    }
};

// owner: what keeps a referenced result alive (the arguments it may point into).
template <class R> BoxRef wrap_result(R&& r, [[maybe_unused]] const std::shared_ptr<void>& owner = {}) {
    using D = std::remove_cv_t<std::remove_reference_t<R>>;
    constexpr bool plain = std::is_same_v<D, bool> || std::is_arithmetic_v<D> || std::is_same_v<D, std::string>;
    if constexpr (plain && std::is_lvalue_reference_v<R> && !std::is_const_v<std::remove_reference_t<R>>) {
        // A writable host number, bool or string (a data member): script changes go back to it.
        D* target = &r;
        return make_host_ref(wrap_result<D>(D(r)), [target, owner](const Box& b) {
            if constexpr (std::is_same_v<D, bool>) {
                if (auto* v = std::get_if<bool>(&b.v)) *target = *v;
            } else if constexpr (std::is_arithmetic_v<D>) {
                if (b.is_num()) *target = b.num().as<D>();
            } else {
                if (auto* v = std::get_if<std::string>(&b.v)) *target = *v;
            }
        });
    } else if constexpr (std::is_same_v<D, bool>) return make_bool(r);
    else if constexpr (std::is_arithmetic_v<D>) return num_box(static_cast<D>(r));
    else if constexpr (std::is_same_v<D, std::string>) return make_str(std::forward<R>(r));
    else if constexpr (std::is_same_v<D, BoxRef>) {
        // A default-constructed Boxed_Value is an undefined value; a host member holding one
        // gets a real box, so that assigning through the member sticks.
        if constexpr (std::is_lvalue_reference_v<R> && !std::is_const_v<std::remove_reference_t<R>>) {
            if (!r) r = make_undef();
            return r;
        } else {
            return r ? BoxRef(r) : make_undef();
        }
    }
    else if constexpr (is_shared_ptr<D>::value) {
        using E = std::remove_cv_t<typename is_shared_ptr<D>::element>;
        return make_box(Value(HostObj{&typeid(E), std::const_pointer_cast<E>(r)}));
    } else if constexpr (std::is_lvalue_reference_v<R>) {
        // A reference into a host object: not owned by the script.
        note_host_type<D>();
        std::shared_ptr<void> alias(owner, const_cast<D*>(&r));
        // Not a fresh value: `var x = obj.member` copies it instead of taking the reference.
        return make_box(Value(HostObj{&typeid(D), alias}), false);
    } else {
        note_host_type<D>();
        return make_box(Value(HostObj{&typeid(D), std::make_shared<D>(std::forward<R>(r))}));
    }
}

template <class R, class... A, class F, size_t... I>
BoxRef call_with([[maybe_unused]] Interp& in, [[maybe_unused]] Args a, F& f, std::index_sequence<I...>) {
    std::tuple<ArgHolder<A>...> holders{ArgHolder<A>(in, a[I])...};
    (void)holders;
    (void)a;  // unused for functions without parameters
    if constexpr (std::is_void_v<R>) {
        f(std::get<I>(holders).get()...);
        return make_undef();
    } else if constexpr (std::is_lvalue_reference_v<R> && sizeof...(A) > 0) {
        // A reference may point into an argument (a data member of the object): keep them alive.
        R r = f(std::get<I>(holders).get()...);
        auto owners = std::make_shared<std::vector<std::shared_ptr<void>>>(
            std::initializer_list<std::shared_ptr<void>>{std::get<I>(holders).keep...});
        return wrap_result<R>(r, owners);
    } else {
        return wrap_result<R>(f(std::get<I>(holders).get()...));
    }
}

template <class R, class... A, class F> std::shared_ptr<NativeFn> make_host_fn(F f) {
    auto fn = std::make_shared<NativeFn>();
    fn->arity = static_cast<int>(sizeof...(A));
    fn->params = {param_key<A>()...};
    if constexpr (std::is_void_v<R>) {
        fn->result = key_of(TypeKey::Host, "void");
        fn->result.host = &typeid(void);
    } else {
        fn->result = param_key<R>();
    }
    fn->fn = [f](Interp& in, Args a) mutable -> BoxRef {
        try {
            return call_with<R, A...>(in, a, f, std::index_sequence_for<A...>{});
        } catch (const exception::bad_boxed_cast&) {
            // The function could not use its arguments after all: like a failed argument
            // conversion, the next overload may try, else the call fails with its candidates.
            throw ConversionFailed{};
        }
    };
    return fn;
}

// Signature of a callable object's operator().
template <class M> struct call_sig;
template <class C, class R, class... A> struct call_sig<R (C::*)(A...)> {
    template <class F> static FuncRef make(F f) { return make_host_fn<R, A...>(std::move(f)); }
};
template <class C, class R, class... A> struct call_sig<R (C::*)(A...) const> : call_sig<R (C::*)(A...)> {};
template <class C, class R, class... A> struct call_sig<R (C::*)(A...) noexcept> : call_sig<R (C::*)(A...)> {};
template <class C, class R, class... A>
struct call_sig<R (C::*)(A...) const noexcept> : call_sig<R (C::*)(A...)> {};

}  // namespace chai::detail
