// Template glue between C++ functions and script values (used by chaiscript.hpp). It goes through
// the narrow interface of host_call.hpp only.
#pragma once
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "chai/errors.hpp"
#include "chai/host_call.hpp"

namespace chai::detail {

template <class T> struct is_shared_ptr : std::false_type {};
template <class T> struct is_shared_ptr<std::shared_ptr<T>> : std::true_type { using element = T; };

template <class P> using bare_t = std::remove_cv_t<std::remove_reference_t<P>>;
// Numbers, bools and strings, which scripts hold as their own values.
template <class D> constexpr bool plain_v = std::is_arithmetic_v<D> || std::is_same_v<D, std::string>;

template <class P> HostParam param_of() {
    using D = bare_t<P>;
    using R = std::remove_reference_t<P>;
    HostParam p;
    if constexpr (std::is_same_v<D, bool>) p.kind = HostParam::Bool;
    else if constexpr (std::is_arithmetic_v<D>) p.kind = HostParam::Number, p.num = kind_for<D>();
    else if constexpr (std::is_same_v<D, std::string>) p.kind = HostParam::String;
    else if constexpr (std::is_same_v<D, Boxed_Value>) p.kind = HostParam::Any;
    else if constexpr (is_shared_ptr<D>::value) p.kind = HostParam::Object, p.type = &host_type<typename is_shared_ptr<D>::element>();
    else if constexpr (std::is_pointer_v<D>) p.kind = HostParam::Object, p.type = &host_type<std::remove_pointer_t<D>>();
    else p.kind = HostParam::Object, p.type = &host_type<D>();
    // A const reference or pointer-to-const parameter is listed as "const T" in dispatch errors.
    p.is_const = std::is_const_v<std::remove_pointer_t<R>> || (std::is_reference_v<P> && std::is_const_v<R>);
    return p;
}

template <class R> HostParam result_of() {
    if constexpr (std::is_void_v<R>) {
        HostParam p;
        p.kind = HostParam::Void;
        return p;
    } else {
        return param_of<R>();
    }
}

// One argument converted to parameter type P, held for the duration of the call.
template <class P> struct ArgHolder {
    using D = bare_t<P>;
    static constexpr bool kValue = std::is_arithmetic_v<D>;
    // A writable int&, bool& or string& reaches the script's own variable.
    static constexpr bool kOut = plain_v<D> && std::is_lvalue_reference_v<P> && !std::is_const_v<std::remove_reference_t<P>>;
    std::conditional_t<kValue, D, char> value{};
    D* ptr = nullptr;
    std::shared_ptr<void> keep;
    Boxed_Value box;

    Fit load(HostCall& call, size_t i) {
        box = kOut || std::is_same_v<D, Boxed_Value> ? call.ref(i) : call.arg(i);
        // A literal cannot be changed: a writable reference parameter does not take it.
        if (kOut && box.is_const()) return Fit::No;
        if constexpr (std::is_same_v<D, bool>) {
            return read_bool(box, value) ? Fit::Ok : Fit::No;
        } else if constexpr (std::is_integral_v<D> && std::is_signed_v<D>) {
            int64_t v = 0;
            const Fit f = read_signed(box, std::numeric_limits<D>::min(), std::numeric_limits<D>::max(), v);
            value = static_cast<D>(v);
            return f;
        } else if constexpr (std::is_integral_v<D>) {
            uint64_t v = 0;
            const Fit f = read_unsigned(box, std::numeric_limits<D>::max(), v);
            value = static_cast<D>(v);
            return f;
        } else if constexpr (kValue) {
            Number n;
            if (!read_number(box, n)) return Fit::No;
            value = n.as<D>();
            return Fit::Ok;
        } else if constexpr (std::is_same_v<D, std::string>) {
            ptr = string_in(box);
            return ptr ? Fit::Ok : Fit::No;
        } else if constexpr (std::is_same_v<D, Boxed_Value>) {
            ptr = &box;
            return Fit::Ok;
        } else if constexpr (is_shared_ptr<D>::value) {
            using E = std::remove_cv_t<typename is_shared_ptr<D>::element>;
            std::shared_ptr<void> owner;
            auto* p = static_cast<E*>(object_in(call.context(), box, host_type<E>(), owner));
            if (!p) return Fit::No;
            keep = std::make_shared<D>(owner, p);
            ptr = static_cast<D*>(keep.get());
            return Fit::Ok;
        } else if constexpr (std::is_pointer_v<D>) {
            using E = std::remove_cv_t<std::remove_pointer_t<D>>;
            auto* p = static_cast<E*>(object_in(call.context(), box, host_type<E>(), keep));
            if (!p) return Fit::No;
            keep = std::make_shared<D>(p);
            ptr = static_cast<D*>(keep.get());
            return Fit::Ok;
        } else {
            ptr = static_cast<D*>(object_in(call.context(), box, host_type<D>(), keep));
            return ptr ? Fit::Ok : Fit::No;
        }
    }

    P get() {
        if constexpr (kValue) return static_cast<P>(value);
        else if constexpr (std::is_rvalue_reference_v<P>) return std::move(*ptr);
        else return *ptr;
    }

    // After the call: a writable number or bool parameter goes back to the script's variable.
    void write_back() {
        if constexpr (kOut && std::is_same_v<D, bool>) write_bool(box, value);
        else if constexpr (kOut && kValue) write_number(box, Number::make(value));
    }
};

// owner: what keeps a referenced result alive (the arguments it may point into).
template <class R> Boxed_Value wrap_result(R&& r, [[maybe_unused]] const std::shared_ptr<void>& owner = {}) {
    using D = bare_t<R>;
    if constexpr (plain_v<D> && std::is_lvalue_reference_v<R> && !std::is_const_v<std::remove_reference_t<R>>) {
        // A writable host number, bool or string (a data member): script changes go back to it.
        D* target = &r;
        return make_reference_value(wrap_result<D>(D(r)), [target, owner](const Boxed_Value& b) {
            if constexpr (std::is_same_v<D, bool>) {
                read_bool(b, *target);
            } else if constexpr (std::is_arithmetic_v<D>) {
                Number n;
                if (read_number(b, n)) *target = n.as<D>();
            } else if (const std::string* s = string_in(b)) {
                *target = *s;
            }
        });
    } else if constexpr (std::is_same_v<D, bool>) {
        return make_bool_value(r);
    } else if constexpr (std::is_arithmetic_v<D>) {
        return make_number_value(Number::make(static_cast<D>(r)));
    } else if constexpr (std::is_same_v<D, std::string>) {
        return make_string_value(std::forward<R>(r));
    } else if constexpr (std::is_same_v<D, Boxed_Value>) {
        if constexpr (std::is_lvalue_reference_v<R> && !std::is_const_v<std::remove_reference_t<R>>) give_box(r);
        return r;
    } else if constexpr (is_shared_ptr<D>::value) {
        using E = std::remove_cv_t<typename is_shared_ptr<D>::element>;
        return make_object_value(host_type<E>(), std::const_pointer_cast<E>(r), true);
    } else if constexpr (std::is_lvalue_reference_v<R>) {
        // A reference into a host object: not owned by the script, and not a fresh value (`var
        // x = obj.member` copies it instead of taking the reference).
        return make_object_value(host_type<D>(), std::shared_ptr<void>(owner, const_cast<D*>(&r)), false);
    } else {
        return make_object_value(host_type<D>(), std::make_shared<D>(std::forward<R>(r)), true);
    }
}

template <class R, class... A, class F, size_t... I>
int call_with([[maybe_unused]] HostCall& call, F& f, Boxed_Value& out, std::index_sequence<I...>) {
    std::tuple<ArgHolder<A>...> holders;
    int status = kCallOk;
    [[maybe_unused]] const auto load = [&](auto& holder, size_t i) {
        if (status != kCallOk) return;
        const Fit fit = holder.load(call, i);
        if (fit == Fit::No) status = kCallDeclined;
        else if (fit == Fit::OutOfRange) status = static_cast<int>(i);
    };
    (load(std::get<I>(holders), I), ...);
    if (status != kCallOk) return status;
    if constexpr (std::is_void_v<R>) {
        f(std::get<I>(holders).get()...);
        out = Boxed_Value();
    } else if constexpr (std::is_lvalue_reference_v<R> && sizeof...(A) > 0) {
        // A reference may point into an argument (a data member of the object): keep them alive.
        R r = f(std::get<I>(holders).get()...);
        auto owners = std::make_shared<std::vector<std::shared_ptr<void>>>(
            std::initializer_list<std::shared_ptr<void>>{std::get<I>(holders).keep...});
        out = wrap_result<R>(r, owners);
    } else {
        out = wrap_result<R>(f(std::get<I>(holders).get()...));
    }
    (std::get<I>(holders).write_back(), ...);
    return kCallOk;
}

template <class R, class... A, class F> std::shared_ptr<HostFunction> make_host_fn(F f) {
    auto fn = std::make_shared<HostFunction>();
    fn->arity = static_cast<int>(sizeof...(A));
    fn->params = {param_of<A>()...};
    fn->result = result_of<R>();
    fn->body = [f](HostCall& call, Boxed_Value& out) mutable -> int {
        try {
            return call_with<R, A...>(call, f, out, std::index_sequence_for<A...>{});
        } catch (const exception::bad_boxed_cast&) {
            // The function could not use its arguments after all: like a failed argument
            // conversion, the next overload may try, else the call fails with its candidates.
            return kCallDeclined;
        }
    };
    return fn;
}

// Signature of a callable object's operator().
template <class M> struct call_sig;
template <class C, class R, class... A> struct call_sig<R (C::*)(A...)> {
    template <class F> static std::shared_ptr<HostFunction> make(F f) { return make_host_fn<R, A...>(std::move(f)); }
};
template <class C, class R, class... A> struct call_sig<R (C::*)(A...) const> : call_sig<R (C::*)(A...)> {};
template <class C, class R, class... A> struct call_sig<R (C::*)(A...) noexcept> : call_sig<R (C::*)(A...)> {};
template <class C, class R, class... A>
struct call_sig<R (C::*)(A...) const noexcept> : call_sig<R (C::*)(A...)> {};

}  // namespace chai::detail
