// Text forms of values, equality, printing, and the operators on strings and containers.
#include <iostream>

#include "chai/library/library.hpp"
#include "chai/runtime/objects.hpp"

namespace chai {

namespace {

const std::string& str(const Value& v) { return *v.str(); }

// Containers are read from copies of their element lists: a script's to_string or == that changes
// or rebinds the container cannot pull its elements away mid-way.
std::string listed(Context& c, Vector items) {
    std::string s = "[";
    for (size_t i = 0; i < items.size(); ++i) s += (i ? ", " : "") + c.to_text(items[i]);
    return s + "]";
}

}  // namespace

std::string value_text(Context& c, const Value& v, bool& ok) {
    ok = true;
    const Kind kind = v.kind();
    // What holds other values prints them too, as deep as they nest.
    if ((kind >= Kind::Vector && kind <= Kind::Object) || kind == Kind::Range) c.check_stack(nullptr);
    switch (kind) {
    case Kind::Undef: return "";
    case Kind::Bool: return v.as_bool() ? "true" : "false";
    case Kind::Number: {
        const Number n = v.num();
        if (n.kind == NumKind::Char) return std::string(1, static_cast<char>(n.i));
        return num_to_string(n);
    }
    case Kind::String: return str(v);
    case Kind::Vector: return listed(c, *v.vec());
    case Kind::Range: {
        const RangeV& r = *v.range();
        return listed(c, Vector(r.items->begin() + static_cast<std::ptrdiff_t>(r.begin),
                                r.items->begin() + static_cast<std::ptrdiff_t>(r.end)));
    }
    case Kind::Map: {
        std::string s = "[";
        bool first = true;
        for (const auto& [k, e] : Map(*v.map())) {
            s += (first ? "<" : ", <") + k + ", " + c.to_text(e) + ">";
            first = false;
        }
        return s + "]";
    }
    case Kind::Pair: {
        const PairV p = *v.pair();
        return "<" + c.to_text(p.first) + ", " + c.to_text(p.second) + ">";
    }
    case Kind::Error: return v.error()->what();
    case Kind::TypeInfo: return v.type_info()->name;
    case Kind::Object: {
        // An object with attributes first and second reads like the pair it stands for.
        DynObject& o = **v.obj();
        const Value* first = o.find(o.names->find("first"));
        const Value* second = o.find(o.names->find("second"));
        if (first && second) {
            const Value f = *first, s = *second;
            return "<" + c.to_text(f) + ", " + c.to_text(s) + ">";
        }
        break;
    }
    default: break;
    }
    ok = false;
    return {};
}

// Containers are compared through copies of their element lists, as listed() reads them.
bool values_equal(Context& c, const Value& a, const Value& b) {
    if (a.is_num() && b.is_num()) return num_compare(NumOp::Eq, a.num(), b.num());
    if (a.kind() != b.kind()) return false;
    c.check_stack(nullptr);
    switch (a.kind()) {
    case Kind::Undef: return false;  // no == takes undefined values
    case Kind::Bool: return a.as_bool() == b.as_bool();
    case Kind::String: return str(a) == str(b);
    case Kind::Vector: {
        const Vector x = *a.vec();
        const Vector y = *b.vec();
        if (x.size() != y.size()) return false;
        for (size_t i = 0; i < x.size(); ++i)
            if (!values_equal(c, x[i], y[i])) return false;
        return true;
    }
    case Kind::Map: {
        const Map x = *a.map();
        const Map y = *b.map();
        if (x.size() != y.size()) return false;
        for (auto i = x.begin(), j = y.begin(); i != x.end(); ++i, ++j)
            if (i->first != j->first || !values_equal(c, i->second, j->second)) return false;
        return true;
    }
    case Kind::Pair: {
        const PairV x = *a.pair();
        const PairV y = *b.pair();
        return values_equal(c, x.first, y.first) && values_equal(c, x.second, y.second);
    }
    case Kind::Function: return functions_equal(**a.func(), **b.func());
    default: {
        // Values without an == overload are simply unequal.
        Arg args[2] = {{a}, {b}};
        Value r = c.try_call("==", Args{args, 2});
        return !r.is_unset() && r.is_bool() && r.as_bool();
    }
    }
}

void add_text_lib(LibBuilder& b) {
    b.add_untyped("print", 1, [](Context& c, Args a) {
        std::cout << c.to_text(a[0]) << '\n';
        return Value();
    });
    b.add_untyped("puts", 1, [](Context& c, Args a) {
        std::cout << c.to_text(a[0]);
        return Value();
    });
    b.add("print_string", {K("string")}, [](Context&, Args a) {
        std::cout << str(a[0]);
        return Value();
    });
    b.add("println_string", {K("string")}, [](Context&, Args a) {
        std::cout << str(a[0]) << '\n';
        return Value();
    });
    b.add_intrinsic("to_string", {K("")}, Intrinsic::ToString);
    b.add("string", {}, [](Context&, Args) { return make_str(""); });
    b.add("string", {K("string")}, [](Context&, Args a) { return make_str(str(a[0])); });

    // ---- comparison and joining of non-numbers ----
    for (const char* op : {"==", "!="}) {
        const bool eq = op[0] == '=';
        b.add_intrinsic(op, {K("string"), K("string")}, eq ? Intrinsic::StringEq : Intrinsic::StringNe);
        for (const char* t : {"bool", "Vector", "Map", "Pair", "Function"})
            b.add(op, {K(t), K(t)}, [eq](Context& c, Args a) { return make_bool(values_equal(c, a[0], a[1]) == eq); });
    }
    b.add("<", {K("string"), K("string")}, [](Context&, Args a) { return make_bool(str(a[0]) < str(a[1])); });
    b.add("<=", {K("string"), K("string")}, [](Context&, Args a) { return make_bool(str(a[0]) <= str(a[1])); });
    b.add(">", {K("string"), K("string")}, [](Context&, Args a) { return make_bool(str(a[0]) > str(a[1])); });
    b.add(">=", {K("string"), K("string")}, [](Context&, Args a) { return make_bool(str(a[0]) >= str(a[1])); });
    b.add_intrinsic("+", {K("string"), K("string")}, Intrinsic::StringJoin);
    b.add_untyped("eq", 2, [](Context& c, Args a) { return make_bool(values_equal(c, a[0], a[1])); });
}

}  // namespace chai
