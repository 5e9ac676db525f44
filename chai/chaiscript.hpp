// Embedding API of the chai engine.
//
//   chai::ChaiScript engine;                       // engine with the standard library
//   engine.add(chai::fun(&free_function), "f");    // free functions, lambdas, std::function
//   engine.add(chai::fun(&Lamp::level), "level");  // member: object is the first argument,
//                                                  // scripts write lamp.level() or level(lamp)
//   engine.add(chai::fun(&Lamp::level, &lamp), "level");  // member bound to one object: level()
//   engine.add(chai::user_type<Lamp>(), "Lamp");   // name used by type_name() and typed params
//   engine.add(chai::constructor<Lamp()>(), "Lamp");  // Lamp() in scripts, held by shared_ptr
//   engine.add(chai::base_class<Device, Lamp>());  // Device members callable on Lamp objects
//   engine.add(chai::vector_conversion<std::vector<int>>());  // script Vector of ints -> vector<int>
//   engine.add(chai::map_conversion<std::map<std::string, int>>());  // and Maps (conversions.hpp)
//   engine.add(chai::var(5), "x");  engine.add_global_const(chai::const_var(2.5), "k");
//   engine.set_global(chai::var(3), "level");      // replace or add a global
//   engine.eval("print(1)");  engine.eval_file("run.chai");  engine.use("lib.chai");  // once
//   auto f = engine.eval<std::function<int(int)>>("fun(x) { x + 1 }");  // script function for C++
//
// Data members (fun(&Lamp::level)) and other non-const references to numbers, bools and strings
// write script changes back (lamp.level = 5); `var x = lamp.level` copies, as does declaring a
// variable from any reference result (host types without a copy constructor cannot be copied).
// Non-const int&, bool& and string& parameters change the script variable passed in.
// A registered function that throws bad_boxed_cast declines the call: other overloads may run.
//
// Adding a name twice adds an overload. Numbers convert between arithmetic types when calling
// host functions, but a number outside the range of an integer parameter fails the call with an
// eval_error naming the function; strings and bools must match. Void results are undefined script
// values, other C++ types are held by value as opaque objects.
//
// Errors leaving eval/eval_file:
//   chai::exception::eval_error        syntax and evaluation errors (std::runtime_error), with
//                                      reason, filename, start_position (syntax) and call_stack
//                                      (each entry: filename(), start().line, start().column)
//   chai::exception::arithmetic_error  integer division by zero
//   chai::exception::file_not_found_error  eval_file of a missing file, or of one that is no
//                                      regular file or larger than 64 MiB
//   chai::exception::uncaught_throw    a script throw() nothing caught (not a std::exception);
//                                      type_name() and what() describe the thrown value
//   chai::exception::bad_boxed_cast    eval<T> of another type; a method call on a script object
//                                      that no method accepts ("No known conversion")
//   anything a registered C++ function throws and the script does not catch, unchanged
//   (scripts can catch std exceptions: runtime_error and subclasses, out_of_range, exception).
//
// Destroying an engine frees what its scripts built, including values that refer to themselves
// (a Vector holding itself, a lambda capturing its own variable), and the names they used.
// Values the host still holds stay valid, with everything they reach; cycles among those are the
// host's to break.
//
// An engine is used by one thread at a time; engines on different threads are independent.
// Scripts' async(f) futures keep that rule: f runs deferred, in the same engine, on the thread
// that first calls get() or wait(). Evaluation runs on a stack the engine keeps per thread, so
// scripts may recurse as deep on a small thread stack as on a large one; runaway recursion ends
// in "Call stack depth exceeded". Building an engine is cheap (the standard library is shared,
// read-only, by all engines).
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "chai/binding.hpp"
#include "chai/boxed_value.hpp"
#include "chai/conversions.hpp"
#include "chai/errors.hpp"

namespace chai {

class Interp;
struct LibraryTable;

// A C++ function ready to be added under a name.
struct Proxy_Function {
    std::shared_ptr<const detail::HostFunction> fn;
};

// Host functions made ready once for many engines: add(bindings) gives an engine all of them,
// as adding each in turn would. A new engine takes them in one step, sharing them; an engine
// that has already been given or run anything adds them one by one. Immutable, so one set may
// serve engines on several threads.
class Bindings {
public:
    using Entry = std::pair<Proxy_Function, std::string>;
    explicit Bindings(std::vector<Entry> functions);

private:
    friend class ChaiScript;
    std::vector<Entry> functions_;
    std::shared_ptr<const LibraryTable> table_;  // the library's functions with these
};

struct Type_Registration {
    const HostTypeInfo* type;
};

// ---- fun ----
namespace detail {
// Class, result and parameters of a member function pointer (const and noexcept forms alike).
template <class M> struct member_traits;
template <class C, class R, class... A> struct member_traits<R (C::*)(A...)> {
    using Object = C;
    template <class F> static auto unbound(F f) { return make_host_fn<R, C&, A...>(std::move(f)); }
    template <class F> static auto bound(F f) { return make_host_fn<R, A...>(std::move(f)); }
};
template <class C, class R, class... A> struct member_traits<R (C::*)(A...) const> : member_traits<R (C::*)(A...)> {
    using Object = const C;
    template <class F> static auto unbound(F f) { return make_host_fn<R, const C&, A...>(std::move(f)); }
};
template <class C, class R, class... A>
struct member_traits<R (C::*)(A...) noexcept> : member_traits<R (C::*)(A...)> {};
template <class C, class R, class... A>
struct member_traits<R (C::*)(A...) const noexcept> : member_traits<R (C::*)(A...) const> {};
}  // namespace detail

template <class R, class... A> Proxy_Function fun(R (*f)(A...)) { return {detail::make_host_fn<R, A...>(f)}; }
template <class R, class... A> Proxy_Function fun(R (*f)(A...) noexcept) { return {detail::make_host_fn<R, A...>(f)}; }

// Member function, object as first argument: obj.name(args) or name(obj, args).
template <class M, std::enable_if_t<std::is_member_function_pointer_v<M>, int> = 0> Proxy_Function fun(M m) {
    using T = detail::member_traits<M>;
    return {T::unbound([m](typename T::Object& o, auto&&... a) -> decltype(auto) {
        return (o.*m)(std::forward<decltype(a)>(a)...);
    })};
}
// Member function bound to one object (pointer or shared_ptr): name(args).
template <class M, class P, std::enable_if_t<std::is_member_function_pointer_v<M>, int> = 0>
Proxy_Function fun(M m, P obj) {
    using T = detail::member_traits<M>;
    typename T::Object* o = &*obj;
    P keep = obj;  // shared_ptr owners stay alive with the function
    return {T::bound([m, o, keep](auto&&... a) -> decltype(auto) {
        (void)keep;
        return (o->*m)(std::forward<decltype(a)>(a)...);
    })};
}
// Data member: read access, obj.name.
template <class C, class T, std::enable_if_t<!std::is_function_v<T>, int> = 0> Proxy_Function fun(T C::*m) {
    auto getter = detail::make_host_fn<T&, C&>([m](C& o) -> T& { return o.*m; });
    getter->member_getter = true;
    return {std::move(getter)};
}
// Lambdas, functors and std::function: signature deduced from operator().
template <class F, class = decltype(&F::operator())> Proxy_Function fun(F f) {
    return {detail::call_sig<decltype(&F::operator())>::make(std::move(f))};
}

template <class T> Type_Registration user_type() { return {&host_type<T>()}; }

template <class Sig> struct ctor_helper;
template <class T, class... A> struct ctor_helper<T(A...)> {
    static Proxy_Function make() {
        return {detail::make_host_fn<std::shared_ptr<T>, A...>([](A... a) { return std::make_shared<T>(a...); })};
    }
};
template <class Sig> Proxy_Function constructor() { return ctor_helper<Sig>::make(); }

// A script value holding a copy of x (numbers, bool, string, or an opaque host object).
template <class T> Boxed_Value var(T x) { return detail::as_variable(detail::wrap_result<T>(std::move(x)), false); }
template <class T> Boxed_Value const_var(T x) { return detail::as_variable(detail::wrap_result<T>(std::move(x)), true); }
// The value a script's own eval() failure gives (scripts read reason(), call_stack(), ...).
Boxed_Value var(const exception::eval_error& e);

// Reads a C++ value out of a script value; throws exception::bad_boxed_cast on mismatch.
template <class T> T boxed_cast(const Boxed_Value& b);

class ChaiScript {
public:
    ChaiScript();
    ~ChaiScript();
    ChaiScript(const ChaiScript&) = delete;
    ChaiScript& operator=(const ChaiScript&) = delete;

    ChaiScript& add(const Proxy_Function& f, const std::string& name);
    ChaiScript& add(const Bindings& functions);
    ChaiScript& add(const Type_Registration& t, const std::string& name);
    ChaiScript& add(const Type_Conversion& c);
    // A top-level variable of scripts (like `var name` at file level; invisible inside functions).
    ChaiScript& add(const Boxed_Value& value, const std::string& name);
    // A global visible everywhere; add_global_const makes it read-only. Both throw
    // exception::name_conflict_error if the name is taken; set_global replaces or adds.
    ChaiScript& add_global(const Boxed_Value& value, const std::string& name);
    ChaiScript& add_global_const(const Boxed_Value& value, const std::string& name);
    ChaiScript& set_global(const Boxed_Value& value, const std::string& name);

    Boxed_Value eval(const std::string& text, const std::string& filename = "__EVAL__");
    Boxed_Value eval_file(const std::string& path);
    // Runs a file the first time only (later calls give undefined), like a script's use().
    Boxed_Value use(const std::string& path);
    // eval<T> casts the result; eval<std::function<R(A...)>> gives a C++ callable for a script
    // function value (it calls into this engine, which must outlive it).
    template <class T> T eval(const std::string& text);
    // Calls a script function value with arguments; errors leave as from eval.
    Boxed_Value call(const Boxed_Value& fn, std::vector<Boxed_Value> args);

    // Caps evaluation steps (loop iterations and calls); 0 = unlimited. For untrusted input.
    void set_step_limit(uint64_t steps);

private:
    friend class Bindings;
    template <class F> Boxed_Value guarded(F&& run);
    Boxed_Value run(const std::function<Boxed_Value()>& body);
    std::unique_ptr<Interp> in_;
    bool untouched_ = true;  // nothing added or run yet: prepared Bindings may be shared
};

template <class T> T boxed_cast(const Boxed_Value& b) {
    using D = std::remove_cv_t<std::remove_reference_t<T>>;
    if constexpr (std::is_same_v<D, Boxed_Value>) {
        return b;
    } else if constexpr (std::is_same_v<D, bool>) {
        bool v = false;
        if (detail::read_bool(b, v)) return v;
    } else if constexpr (std::is_arithmetic_v<D>) {
        Number n;
        if (detail::read_number(b, n)) return n.as<D>();
    } else if constexpr (std::is_same_v<D, std::string>) {
        if (const std::string* s = detail::string_in(b)) return *s;
    } else {
        if (const void* p = detail::object_exactly(b, host_type<D>())) return *static_cast<const D*>(p);
    }
    throw exception::bad_boxed_cast(std::string("Cannot perform boxed_cast: ") + detail::held_type_name(b) +
                                    " to: " + typeid(D).name());
}

namespace detail {
template <class T> struct script_callable {
    static T make(ChaiScript&, const Boxed_Value& value) { return boxed_cast<T>(value); }
};
bool is_function(const Boxed_Value& v);
template <class R, class... A> struct script_callable<std::function<R(A...)>> {
    static std::function<R(A...)> make(ChaiScript& engine, const Boxed_Value& fn) {
        if (!is_function(fn))
            throw exception::bad_boxed_cast(std::string("Cannot perform boxed_cast: ") + held_type_name(fn) + " to: " +
                                            typeid(std::function<R(A...)>).name());
        return [&engine, fn](A... a) -> R {
            Boxed_Value r = engine.call(fn, {wrap_result<A>(std::forward<A>(a))...});
            if constexpr (!std::is_void_v<R>) return boxed_cast<R>(r);
        };
    }
};
}  // namespace detail

template <class T> T ChaiScript::eval(const std::string& text) {
    return detail::script_callable<T>::make(*this, eval(text));
}

}  // namespace chai
