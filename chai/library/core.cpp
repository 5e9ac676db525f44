// Printing, conversions, types, errors, objects, function values, evaluation.
#include <fstream>
#include <iostream>
#include <sstream>

#include "chai/syntax/parser.hpp"
#include "chai/library/library.hpp"

namespace chai {

namespace {

const std::string& str(const BoxRef& b) { return std::get<std::string>(b->v); }

// Stream extraction as the standard library does it: blanks skipped, reading stops at the first
// unfit character, garbage gives 0 and an out-of-range value the nearest limit of T.
template <class T> BoxRef parse_as(const std::string& s) {
    std::istringstream is(s);
    if constexpr (std::is_floating_point_v<T> || sizeof(T) == 1 || sizeof(T) == 8) {
        // One-byte types read a character; the 64-bit and floating ones are read directly.
        T v = 0;
        if constexpr (sizeof(T) == 1) {
            char c = 0;
            is >> c;
            v = static_cast<T>(c);
        } else {
            is >> v;
        }
        return num_box(v);
    } else {
        // Narrower integers: read wide, then clamp like the narrow extraction would. Unsigned
        // types take negative input modulo 2^n, as long as its magnitude fits.
        long long v = 0;
        is >> v;
        constexpr long long hi = static_cast<long long>(std::numeric_limits<T>::max());
        if constexpr (std::is_signed_v<T>) {
            constexpr long long lo = static_cast<long long>(std::numeric_limits<T>::min());
            return num_box(v > hi ? T(hi) : v < lo ? T(lo) : static_cast<T>(v));
        } else {
            return num_box(v > hi || v < -hi ? T(hi) : static_cast<T>(v));
        }
    }
}

// T(), T(n) and to_T(s); `kind` is given where the C++ type alone does not tell it (long long).
template <class T> void add_numeric_type(LibBuilder& b, const char* name, NumKind kind = kind_for<T>()) {
    b.add(name, {}, [kind](Interp&, Args) { return make_num(num_convert(Number::make(T(0)), kind)); });
    b.add(name, {K("Number")}, [kind](Interp&, Args a) { return make_num(num_convert(a[0]->num(), kind)); });
    b.add(std::string("to_") + name, {K("string")},
          [kind](Interp&, Args a) { return make_num(num_convert(parse_as<T>(str(a[0]))->num(), kind)); });
}

std::string pair_text(Interp& in, const PairV& p) {
    return "<" + in.to_text(p.first) + ", " + in.to_text(p.second) + ">";
}

[[noreturn]] void not_convertible() { throw ConversionFailed{}; }

}  // namespace

std::string value_text(Interp& in, const BoxRef& b) {
    switch (b->idx()) {
    case V_Undef: return "";
    case V_Bool: return std::get<bool>(b->v) ? "true" : "false";
    case V_Number:
        if (b->num().kind == NumKind::Char) return std::string(1, static_cast<char>(b->num().i));
        return num_to_string(b->num());
    case V_String: return str(b);
    case V_Vector: {
        in.check_stack(nullptr);
        std::string s = "[";
        const Vector& v = std::get<Vector>(b->v);
        for (size_t i = 0; i < v.size(); ++i) s += (i ? ", " : "") + in.to_text(v[i]);
        return s + "]";
    }
    case V_Map: {
        in.check_stack(nullptr);
        std::string s = "[";
        bool first = true;
        for (const auto& [k, v] : std::get<Map>(b->v)) {
            s += (first ? "<" : ", <") + k + ", " + in.to_text(v) + ">";
            first = false;
        }
        return s + "]";
    }
    case V_Pair: return pair_text(in, std::get<PairV>(b->v));
    case V_Error: return std::get<ErrorV>(b->v).what();
    case V_TypeInfo: return std::get<TypeInfoV>(b->v).name;
    default: not_convertible();
    }
}

bool values_equal(Interp& in, const BoxRef& a, const BoxRef& b) {
    if (a->is_num() && b->is_num()) return num_compare(NumOp::Eq, a->num(), b->num());
    if (a->idx() != b->idx()) return false;
    in.check_stack(nullptr);
    switch (a->idx()) {
    case V_Undef: return false;  // no == takes undefined values
    case V_Bool: return std::get<bool>(a->v) == std::get<bool>(b->v);
    case V_String: return str(a) == str(b);
    case V_Vector: {
        const Vector& x = std::get<Vector>(a->v);
        const Vector& y = std::get<Vector>(b->v);
        if (x.size() != y.size()) return false;
        for (size_t i = 0; i < x.size(); ++i)
            if (!values_equal(in, x[i], y[i])) return false;
        return true;
    }
    case V_Map: {
        const Map& x = std::get<Map>(a->v);
        const Map& y = std::get<Map>(b->v);
        if (x.size() != y.size()) return false;
        for (auto i = x.begin(), j = y.begin(); i != x.end(); ++i, ++j)
            if (i->first != j->first || !values_equal(in, i->second, j->second)) return false;
        return true;
    }
    case V_Pair: {
        const PairV& x = std::get<PairV>(a->v);
        const PairV& y = std::get<PairV>(b->v);
        return values_equal(in, x.first, y.first) && values_equal(in, x.second, y.second);
    }
    case V_Func: return functions_equal(*std::get<FuncRef>(a->v), *std::get<FuncRef>(b->v));
    default: {
        // Values without an == overload are simply unequal.
        static const uint32_t eq = intern("==");
        const FnList* fl = in.functions(eq);
        if (!fl) return false;
        BoxRef args[2] = {a, b};
        bool matched = false;
        BoxRef r = in.try_dispatch(*fl, Args{args, 2}, nullptr, nullptr, matched);
        const bool* v = matched ? std::get_if<bool>(&r->v) : nullptr;
        return v && *v;
    }
    }
}

void add_core_lib(LibBuilder& b) {
    // ---- output and text ----
    b.add_untyped("print", 1, [](Interp& in, Args a) {
        std::cout << in.to_text(a[0]) << '\n';
        return undef();
    });
    b.add_untyped("puts", 1, [](Interp& in, Args a) {
        std::cout << in.to_text(a[0]);
        return undef();
    });
    b.add("print_string", {K("string")}, [](Interp&, Args a) {
        std::cout << str(a[0]);
        return undef();
    });
    b.add("println_string", {K("string")}, [](Interp&, Args a) {
        std::cout << str(a[0]) << '\n';
        return undef();
    });
    b.add("to_string", {K("")}, [](Interp& in, Args a) { return make_str(value_text(in, a[0])); });

    // ---- numbers ----
    add_numeric_type<int>(b, "int");
    add_numeric_type<double>(b, "double");
    add_numeric_type<float>(b, "float");
    add_numeric_type<int64_t>(b, "long");
    add_numeric_type<long long>(b, "long_long", NumKind::LongLong);
    add_numeric_type<unsigned>(b, "unsigned_int");
    add_numeric_type<uint64_t>(b, "unsigned_long");
    add_numeric_type<unsigned long long>(b, "unsigned_long_long", NumKind::ULongLong);
    add_numeric_type<uint64_t>(b, "size_t");
    add_numeric_type<char>(b, "char");
    add_numeric_type<long double>(b, "long_double");
    add_numeric_type<int8_t>(b, "int8_t");
    add_numeric_type<int16_t>(b, "int16_t");
    add_numeric_type<int32_t>(b, "int32_t");
    add_numeric_type<int64_t>(b, "int64_t");
    add_numeric_type<uint8_t>(b, "uint8_t");
    add_numeric_type<uint16_t>(b, "uint16_t");
    add_numeric_type<uint32_t>(b, "uint32_t");
    add_numeric_type<uint64_t>(b, "uint64_t");
    add_numeric_type<wchar_t>(b, "wchar_t");
    add_numeric_type<char16_t>(b, "char16_t");
    add_numeric_type<char32_t>(b, "char32_t");
    b.add("bool", {}, [](Interp&, Args) { return make_bool(false); });
    b.add("bool", {K("bool")}, [](Interp&, Args a) { return make_bool(std::get<bool>(a[0]->v)); });
    b.add("string", {}, [](Interp&, Args) { return make_str(""); });
    b.add("string", {K("string")}, [](Interp&, Args a) { return make_str(str(a[0])); });
    b.add_untyped("max", 2, [](Interp& in, Args a) {
        static const uint32_t gt = intern(">");
        BoxRef args[2] = {a[0], a[1]};
        return in.truth(in.call_named(gt, Args{args, 2}, nullptr), nullptr) ? a[0] : a[1];
    });
    b.add_untyped("min", 2, [](Interp& in, Args a) {
        static const uint32_t lt = intern("<");
        BoxRef args[2] = {a[0], a[1]};
        return in.truth(in.call_named(lt, Args{args, 2}, nullptr), nullptr) ? a[0] : a[1];
    });
    // x % 2 == 0 and x % 2 == 1, exactly: odd() of a negative odd number is false.
    auto parity = [](int rest) {
        return [rest](Interp& in, Args a) {
            static const uint32_t mod = intern("%"), eq = intern("==");
            BoxRef two = num_box(2), want = num_box(rest);
            two->is_const = want->is_const = true;  // literals in the written form
            BoxRef r = in.binary_values(OpCode::Mod, mod, "%", a[0], two, nullptr);
            return in.binary_values(OpCode::Eq, eq, "==", r, want, nullptr);
        };
    };
    b.add_untyped("even", 1, parity(0));
    b.add_untyped("odd", 1, parity(1));

    // ---- operators as functions (`+`(1, 2), foldl(v, `+`, 0)) ----
    {
        static const char* ops[] = {"+", "-", "*", "/", "%", "<<", ">>", "&", "|", "^", "<", "<=", ">", ">=", "==", "!="};
        for (int i = 0; i < 16; ++i) {
            NumOp op = static_cast<NumOp>(i);
            b.add(ops[i], {K("Number"), K("Number")}, [op](Interp&, Args a) {
                if (op >= NumOp::Lt) return make_bool(num_compare(op, a[0]->num(), a[1]->num()));
                return make_num_result(num_binary(op, a[0]->num(), a[1]->num()));
            });
        }
        b.add("-", {K("Number")}, [](Interp&, Args a) { return make_num_result(num_neg(a[0]->num())); });
        b.add("!", {K("bool")}, [](Interp&, Args a) { return make_bool(!std::get<bool>(a[0]->v)); });
    }

    // ---- comparison and joining of non-numbers ----
    for (const char* op : {"==", "!="}) {
        bool eq = op[0] == '=';
        for (const char* t : {"string", "bool", "Vector", "Map", "Pair", "Function"})
            b.add(op, {K(t), K(t)}, [eq](Interp& in, Args a) { return make_bool(values_equal(in, a[0], a[1]) == eq); });
    }
    b.add("<", {K("string"), K("string")}, [](Interp&, Args a) { return make_bool(str(a[0]) < str(a[1])); });
    b.add("<=", {K("string"), K("string")}, [](Interp&, Args a) { return make_bool(str(a[0]) <= str(a[1])); });
    b.add(">", {K("string"), K("string")}, [](Interp&, Args a) { return make_bool(str(a[0]) > str(a[1])); });
    b.add(">=", {K("string"), K("string")}, [](Interp&, Args a) { return make_bool(str(a[0]) >= str(a[1])); });
    b.add("+", {K("string"), K("string")}, [](Interp&, Args a) {
        check_string_size(str(a[0]).size() + str(a[1]).size());
        return make_str(str(a[0]) + str(a[1]));
    });
    b.add_untyped("eq", 2, [](Interp& in, Args a) { return make_bool(values_equal(in, a[0], a[1])); });

    // ---- types ----
    b.add("type_name", {K("")}, [](Interp&, Args a) { return make_str(type_name_of(*a[0])); });
    b.add("is_type", {K(""), K("string")}, [](Interp& in, Args a) {
        const std::string& n = str(a[1]);
        if (auto* o = std::get_if<ObjRef>(&a[0]->v))
            if ((*o)->cls == n) return make_bool(true);
        if (type_name_of(*a[0]) == n) return make_bool(true);
        TypeKey k = in.resolve_type(n);
        // Object and Number are parameter types only, never the type of a value.
        if (k.kind == TypeKey::Class || k.kind == TypeKey::Arith) return make_bool(false);
        return make_bool(in.match(k, *a[0]) == 0);
    });
    b.add("is_var_undef", {K("")}, [](Interp&, Args a) { return make_bool(a[0]->undef()); });
    b.add("is_var_const", {K("")}, [](Interp&, Args a) { return make_bool(a[0]->is_const); });
    b.add("is_var_null", {K("")}, [](Interp&, Args) { return make_bool(false); });
    b.add("type_match", {K(""), K("")}, [](Interp&, Args a) { return make_bool(type_name_of(*a[0]) == type_name_of(*a[1])); });
    b.add("get_type_info", {K("")}, [](Interp&, Args a) {
        return make_box(Value(TypeInfoV{type_name_of(*a[0]), a[0]->is_num(), a[0]->undef()}));
    });
    b.add("name", {K("Type_Info")}, [](Interp&, Args a) { return make_str(std::get<TypeInfoV>(a[0]->v).name); });
    b.add("is_type_arithmetic", {K("Type_Info")},
          [](Interp&, Args a) { return make_bool(std::get<TypeInfoV>(a[0]->v).arithmetic); });
    b.add("is_type_undef", {K("Type_Info")}, [](Interp&, Args a) { return make_bool(std::get<TypeInfoV>(a[0]->v).undef); });
    b.add("clone", {K("")}, [](Interp&, Args a) {
        BoxRef c = clone_box(a[0]);
        c->is_temp = true;
        return c;
    });
    b.add("new", {K("")}, [](Interp& in, Args a) -> BoxRef {
        const Box& x = *a[0];
        switch (x.idx()) {
        case V_Number: return make_num(num_convert(Number::make(0), x.num().kind));
        case V_Bool: return make_bool(false);
        case V_String: return make_str("");
        case V_Vector: return make_box(Value(Vector{}));
        case V_Map: return make_box(Value(Map{}));
        case V_Object: return in.new_object(std::get<ObjRef>(x.v)->cls);
        default: throw ConversionFailed{};
        }
    });
    b.add("dump_object", {K("")}, [](Interp&, Args a) {
        std::cout << (a[0]->is_const ? "const " : "") << type_name_of(*a[0]) << '\n';
        return undef();
    });
    b.add("compiler_name", {}, [](Interp&, Args) { return make_str("chai"); });
    b.add("compiler_id", {}, [](Interp&, Args) { return make_str("chai"); });
    b.add("compiler_version", {}, [](Interp&, Args) { return make_str("1"); });
    b.add("debug_build", {}, [](Interp&, Args) {
#ifdef NDEBUG
        return make_bool(false);
#else
        return make_bool(true);
#endif
    });
    b.add("version", {}, [](Interp&, Args) { return make_str("5.8.5"); });
    b.add("version_major", {}, [](Interp&, Args) { return num_box(5); });
    b.add("version_minor", {}, [](Interp&, Args) { return num_box(8); });
    b.add("version_patch", {}, [](Interp&, Args) { return num_box(5); });

    // ---- exceptions ----
    b.add("throw", {K("")}, [](Interp&, Args a) -> BoxRef {
        BoxRef v = a[0];
        throw ScriptThrow{v};
    });
    b.add("runtime_error", {K("string")}, [](Interp&, Args a) {
        return make_box(Value(ErrorV("runtime_error", str(a[0]))));
    });
    b.add("range_error", {K("string")}, [](Interp&, Args a) {
        return make_box(Value(ErrorV("runtime_error", str(a[0]), {}, true)));
    });
    b.add("what", {K("")}, [](Interp&, Args a) {
        if (auto* e = std::get_if<ErrorV>(&a[0]->v)) return make_str(e->what());
        throw ConversionFailed{};
    });
    b.add("reason", {K("eval_error")}, [](Interp&, Args a) {
        const ErrorV& e = std::get<ErrorV>(a[0]->v);
        return make_str(e.eval() ? e.eval()->reason : std::string());
    });
    b.add("pretty_print", {K("eval_error")}, [](Interp&, Args a) {
        const ErrorV& e = std::get<ErrorV>(a[0]->v);
        return make_str(e.eval() ? e.eval()->pretty_print() : e.what() + "\n");
    });

    // ---- script objects ----
    b.add("Dynamic_Object", {}, [](Interp& in, Args) { return in.new_object("Dynamic_Object"); });
    b.add("Dynamic_Object", {K("string")}, [](Interp& in, Args a) { return in.new_object(str(a[0])); });
    b.add("get_type_name", {K("Dynamic_Object")}, [](Interp&, Args a) { return make_str(std::get<ObjRef>(a[0]->v)->cls); });
    b.add("get_attrs", {K("Dynamic_Object")}, [](Interp&, Args a) {
        Map m;
        for (const auto& [k, v] : std::get<ObjRef>(a[0]->v)->attrs) m[k] = v;
        return make_box(Value(std::move(m)));
    });
    b.add("get_attr", {K("Dynamic_Object"), K("string")}, [](Interp&, Args a) {
        BoxRef& slot = std::get<ObjRef>(a[0]->v)->attrs[str(a[1])];
        if (!slot) slot = make_undef();
        return slot;
    });
    b.add("has_attr", {K("Dynamic_Object"), K("string")},
          [](Interp&, Args a) { return make_bool(std::get<ObjRef>(a[0]->v)->attrs.count(str(a[1])) != 0); });
    b.add("set_explicit", {K("Dynamic_Object"), K("bool")}, [](Interp&, Args a) {
        std::get<ObjRef>(a[0]->v)->is_explicit = std::get<bool>(a[1]->v);
        return undef();
    });
    b.add("is_explicit", {K("Dynamic_Object")}, [](Interp&, Args a) { return make_bool(std::get<ObjRef>(a[0]->v)->is_explicit); });

    // ---- function values ----
    b.add("get_arity", {K("Function")}, [](Interp&, Args a) { return num_box(std::get<FuncRef>(a[0]->v)->arity); });
    b.add("has_guard", {K("Function")}, [](Interp&, Args a) { return make_bool(std::get<FuncRef>(a[0]->v)->guarded); });
    b.add("get_annotation", {K("Function")}, [](Interp&, Args a) {
        const Callable* f = std::get<FuncRef>(a[0]->v).get();
        if (dynamic_cast<const OverloadSet*>(f)) return make_str("Multiple method dispatch function wrapper.");
        auto* s = dynamic_cast<const ScriptFn*>(f);
        return make_str(s ? s->annotation : std::string());
    });
    b.add("call", {K("Function"), K("Vector")}, [](Interp& in, Args a) {
        Vector args = std::get<Vector>(a[1]->v);
        return in.call_value(a[0], Args{args.data(), args.size()}, nullptr);
    });
    b.add("bind", {}, [](Interp&, Args a) -> BoxRef {
        if (a.size == 0 || a[0]->idx() != V_Func) throw ConversionFailed{};
        std::vector<BoxRef> fixed;
        for (size_t i = 1; i < a.size; ++i) {
            auto* t = std::get_if<TypeInfoV>(&a[i]->v);
            fixed.push_back(t && t->name == "_" ? BoxRef() : a[i]);
        }
        return func_box(make_bound(a[0], std::move(fixed)));
    }, -1);
    b.add("function_exists", {K("string")}, [](Interp& in, Args a) { return make_bool(in.functions(intern(str(a[0]))) != nullptr); });
    b.add("call_exists", {}, [](Interp& in, Args a) -> BoxRef {
        if (a.size == 0 || a[0]->idx() != V_Func) throw ConversionFailed{};
        const Callable& f = *std::get<FuncRef>(a[0]->v);
        const FnList one{std::get<FuncRef>(a[0]->v)};
        const FnList& fl = f.is_set() && dynamic_cast<const OverloadSet*>(&f) ? static_cast<const OverloadSet&>(f).fns : one;
        for (const FuncRef& c : fl) {
            if (c->arity >= 0 && static_cast<size_t>(c->arity) != a.size - 1) continue;
            bool ok = true;
            for (size_t i = 1; i < a.size && ok; ++i)
                ok = i - 1 >= c->params.size() || in.match(c->params[i - 1], *a[i]) >= 0;
            // A guard that refuses the arguments makes the call impossible too.
            if (ok && c->guarded) ok = c->guard_ok(in, Args{a.data + 1, a.size - 1}, nullptr);
            if (ok) return make_bool(true);
        }
        return make_bool(false);
    }, -1);

    // ---- evaluation ----
    b.add("eval", {K("string")}, [](Interp& in, Args a) {
        return errors_catchable([&] { return in.eval_text(str(a[0]), "__EVAL__"); });
    });
    b.add("eval_file", {K("string")}, [](Interp& in, Args a) {
        return errors_catchable([&] { return in.eval_file(str(a[0])); });
    });
    b.add("use", {K("string")}, [](Interp& in, Args a) {
        return errors_catchable([&] { return in.use_file(str(a[0])); });
    });
}

}  // namespace chai
