// Functional helpers over anything with a range.
#include <algorithm>
#include <cmath>

#include "chai/library/library.hpp"

namespace chai {

namespace {

Vector items_of(const Value& c) {
    auto items = elements_of(c);
    return items ? *items : Vector{};
}

// Whether range() applies to the value: the guard of most functional helpers.
bool ranged(const Value& c) {
    const Kind k = c.kind();
    return k == Kind::Vector || k == Kind::Map || k == Kind::String || k == Kind::Range;
}
// Guard accepting arguments whose given positions are all ranged.
std::function<bool(Args)> ranged_at(std::vector<size_t> positions) {
    return [positions](Args a) {
        return std::all_of(positions.begin(), positions.end(), [&](size_t i) { return ranged(a[i]); });
    };
}

// A call outside the helper's loop (an inserter) leaves break and continue to the loops around.
Value call_plain(Context& c, const Value& f, const Value& x) {
    Arg args[1] = {{x}};
    return c.call_value(f, Args{args, 1});
}
// The helpers loop like loops written in script: `break` in a callback ends the helper's loop
// and `continue` moves on to the next element; either way the cut-short call gives no result
// (the loop's step below reads what it was).
Value call_in_loop(Context& c, const Value& f, Args a) {
    try {
        return c.call_value(f, a);
    } catch (const LoopJump& j) {
        c.control() = j.ctl;
        return Value();
    }
}
Value call1(Context& c, const Value& f, const Value& x) {
    Arg args[1] = {{x}};
    return call_in_loop(c, f, Args{args, 1});
}
Value call2(Context& c, const Value& f, const Value& x, const Value& y) {
    Arg args[2] = {{x}, {y}};
    return call_in_loop(c, f, Args{args, 2});
}
enum class Step { Go, Skip, Stop };
Step step(Context& c) {
    Ctl& ctl = c.control();
    if (ctl != Ctl::Break && ctl != Ctl::Continue) return Step::Go;
    const Step s = ctl == Ctl::Break ? Step::Stop : Step::Skip;
    ctl = Ctl::None;
    return s;
}
// A predicate's answer: true, false, or the loop's step when the call was cut short.
Step test(Context& c, const Value& f, const Value& x, bool& yes) {
    Value r = call1(c, f, x);
    const Step s = step(c);
    if (s == Step::Go) yes = c.truth(r);
    return s;
}

Value push_back(Context& c, const Value& target, const Value& x) {
    Arg args[2] = {{target}, {x}};
    return c.call_named("push_back", Args{args, 2});
}

// How many elements `while (n > 0) { ...; --n }` visits: none for n <= 0, ceil(n) otherwise (v is
// a number: the helpers that count check it first).
size_t count_arg(const Value& v) {
    const Number n = v.num();
    if (n.is_floating()) {
        const double d = n.as<double>();
        return d > 0 ? static_cast<size_t>(std::min(std::ceil(d), 1e18)) : 0;
    }
    if (n.is_signed_int() && n.i <= 0) return 0;
    return n.as<size_t>();
}

// Where a helper puts its result elements: a new container of the source's kind (a string for
// a string, a Vector otherwise; elements copied as push_back does), or an inserter function.
class Sink {
public:
    static Sink like(Context& c, const Value& source) { return Sink(c, Value::unset(), source.kind() == Kind::String); }
    // An unset inserter collects into a Vector.
    static Sink into(Context& c, const Value& inserter) { return Sink(c, inserter, false); }

    void add(const Value& e) {
        if (!inserter_.is_unset()) {
            call_plain(c_, inserter_, e);
        } else if (!text_) {
            items_.push_back(clone(e));
        } else if (e.is_num()) {
            check_string_size(text_out_.size() + 1);
            text_out_ += e.num().as<char>();
        } else {
            push_back(c_, make_str(""), e);  // raises the error push_back gives for e
        }
    }
    Value result() {
        if (!inserter_.is_unset()) return Value();
        return text_ ? make_str(std::move(text_out_)) : make_vec(std::move(items_));
    }

private:
    Sink(Context& c, Value inserter, bool text) : c_(c), inserter_(std::move(inserter)), text_(text) {}

    Context& c_;
    Value inserter_;
    bool text_ = false;
    Vector items_;
    std::string text_out_;
};

using Helper = void (*)(Context& c, Args a, Sink& out);

// Adds helper as name(c, x...) giving a new container like c (a Vector when keep_kind is false)
// and as name(c, x..., inserter), guarded on the containers being ranged and the argument at
// count_at (if any) being a number.
void add_helper(LibBuilder& b, const char* name, int arity, bool keep_kind, Helper h, std::vector<size_t> containers = {0},
                int count_at = -1) {
    b.add_untyped(name, arity, [h, keep_kind, containers, count_at](Context& c, Args a) {
        for (size_t i : containers)
            if (!ranged(a[i])) return declined();
        if (count_at >= 0 && !a[static_cast<size_t>(count_at)].is_num()) return declined();
        Sink out = keep_kind ? Sink::like(c, a[0]) : Sink::into(c, Value::unset());
        h(c, a, out);
        return out.result();
    });
    b.add_untyped(name, arity + 1, [h, arity, count_at](Context& c, Args a) {
        if (count_at >= 0 && !a[static_cast<size_t>(count_at)].is_num()) return declined();
        Sink out = Sink::into(c, a[static_cast<size_t>(arity)]);
        h(c, Args{a.data, static_cast<size_t>(arity)}, out);
        return out.result();
    }, ranged_at(std::move(containers)));
}

void map_to(Context& c, Args a, Sink& out) {
    for (const Value& e : items_of(a[0])) {
        Value r = call1(c, a[1], e);
        const Step s = step(c);
        if (s == Step::Stop) break;
        if (s == Step::Go) out.add(r);
    }
}
void filter_to(Context& c, Args a, Sink& out) {
    for (const Value& e : items_of(a[0])) {
        bool keep = false;
        if (test(c, a[1], e, keep) == Step::Stop) break;
        if (keep) out.add(e);
    }
}
void take_to(Context&, Args a, Sink& out) {
    const Vector items = items_of(a[0]);
    const size_t n = std::min(count_arg(a[1]), items.size());
    for (size_t i = 0; i < n; ++i) out.add(items[i]);
}
void drop_to(Context&, Args a, Sink& out) {
    const Vector items = items_of(a[0]);
    for (size_t i = std::min(count_arg(a[1]), items.size()); i < items.size(); ++i) out.add(items[i]);
}
void take_while_to(Context& c, Args a, Sink& out) {
    for (const Value& e : items_of(a[0])) {
        bool more = false;
        const Step s = test(c, a[1], e, more);
        if (s == Step::Stop || (s == Step::Go && !more)) break;
        out.add(e);
    }
}
void drop_while_to(Context& c, Args a, Sink& out) {
    const Vector items = items_of(a[0]);
    size_t i = 0;
    for (; i < items.size(); ++i) {
        bool more = false;
        const Step s = test(c, a[1], items[i], more);
        if (s == Step::Stop || (s == Step::Go && !more)) break;
    }
    for (; i < items.size(); ++i) out.add(items[i]);
}
void reverse_to(Context&, Args a, Sink& out) {
    const Vector items = items_of(a[0]);
    for (size_t i = items.size(); i-- > 0;) out.add(items[i]);
}
void zip_with_to(Context& c, Args a, Sink& out) {
    const Vector x = items_of(a[1]), y = items_of(a[2]);
    for (size_t i = 0; i < std::min(x.size(), y.size()); ++i) {
        Value r = call2(c, a[0], x[i], y[i]);
        const Step s = step(c);
        if (s == Step::Stop) break;
        if (s == Step::Go) out.add(r);
    }
}
Value collate(const Value& x, const Value& y) { return make_vec(Vector{clone(x), clone(y)}); }
void zip_to(Context&, Args a, Sink& out) {
    const Vector x = items_of(a[0]), y = items_of(a[1]);
    for (size_t i = 0; i < std::min(x.size(), y.size()); ++i) out.add(collate(x[i], y[i]));
}

// The first element for which cmp(element, x) holds, as a range to the end; empty if none.
Value find_in(Context& c, const Value& container, const Value& x, const Value* cmp) {
    auto items = elements_of(container);
    size_t i = 0;
    const size_t n = items->size();
    for (; i < n; ++i) {
        if (!cmp) {
            if (values_equal(c, (*items)[i], x)) break;
            continue;
        }
        Value r = call2(c, *cmp, (*items)[i], x);
        const Step s = step(c);
        if (s == Step::Stop) {
            i = n;  // cut short: nothing found
            break;
        }
        if (s == Step::Go && c.truth(r)) break;
    }
    return make_box<P_Range>(RangeV{std::move(items), i, n});
}

// sum and product: numbers natively, anything else through the operator's overloads.
Value fold_operator(Context& c, Args a, NumOp op, const char* name, double start) {
    Value acc = Value::of(start);
    for (const Value& e : items_of(a[0])) {
        if (e.is_num() && acc.is_num()) {
            acc = make_num(num_binary(op, e.num(), acc.num()));
        } else {
            Arg args[2] = {{e}, {acc}};
            acc = c.call_named(name, Args{args, 2});
        }
    }
    return acc;
}

// A helper over a container declines anything else (as an argument of the wrong type).
LibFn over_ranged(LibFn fn) {
    return [fn = std::move(fn)](Context& c, Args a) { return ranged(a[0]) ? fn(c, a) : declined(); };
}

// acc = f(element, acc) (foldl) or f(acc, element) (reduce) from items[from] on. The accumulator
// starts as a copy of the seed (the caller's seed is never changed) and each step's result is
// assigned to a copy of it, so it keeps the seed's type. A step that changed the accumulator in
// place and gave it back needs nothing more; a new box per step keeps functions that captured
// an earlier accumulator as they were.
enum class Order { ElementFirst, AccumulatorFirst };
Value fold(Context& c, const Vector& items, const Value& f, const Value& seed, Order order, size_t from = 0) {
    Value acc = clone(seed);
    for (size_t i = from; i < items.size(); ++i) {
        Value r = order == Order::ElementFirst ? call2(c, f, items[i], acc) : call2(c, f, acc, items[i]);
        const Step s = step(c);
        if (s == Step::Stop) break;
        if (s != Step::Go || (r.box() && r.box() == acc.box())) continue;
        Value next = clone(acc);
        c.assign_value(next, r);
        acc = std::move(next);
    }
    return acc;
}

}  // namespace

void add_functional_lib(LibBuilder& b) {
    b.add_untyped("for_each", 2, [](Context& c, Args a) {
        // A string's chars go by reference too, so f may change them.
        if (a[0].kind() == Kind::String && !a[0].is_const()) {
            const Value& s = a.ref(0);
            for (size_t i = 0, n = s.str()->size(); i < n && i < s.str()->size(); ++i) {
                call1(c, a[1], make_char_ref(s, i));
                if (step(c) == Step::Stop) break;
            }
            return Value();
        }
        for (const Value& e : items_of(a[0])) {
            call1(c, a[1], e);
            if (step(c) == Step::Stop) break;
        }
        return Value();
    }, ranged_at({0}));
    add_helper(b, "map", 2, true, map_to);
    add_helper(b, "filter", 2, true, filter_to);
    add_helper(b, "take", 2, true, take_to, {0}, 1);
    add_helper(b, "drop", 2, true, drop_to, {0}, 1);
    add_helper(b, "take_while", 2, true, take_while_to);
    add_helper(b, "drop_while", 2, true, drop_while_to);
    b.add_untyped("reverse", 1, over_ranged([](Context& c, Args a) {
        Sink out = Sink::like(c, a[0]);
        reverse_to(c, a, out);
        return out.result();
    }));
    // zip results are always Vectors of [x, y] pairs.
    add_helper(b, "zip_with", 3, false, zip_with_to, {1, 2});
    add_helper(b, "zip", 2, false, zip_to, {0, 1});
    b.add_untyped("collate", 2, [](Context&, Args a) { return collate(a[0], a[1]); });

    // acc = f(element, acc), element first.
    b.add_untyped("foldl", 3, [](Context& c, Args a) { return fold(c, items_of(a[0]), a[1], a[2], Order::ElementFirst); },
                  ranged_at({0}));
    // Unlike foldl, acc = f(acc, element), starting from the first element.
    b.add_untyped("reduce", 2, [](Context& c, Args a) -> Value {
        const Vector items = items_of(a[0]);
        return fold(c, items, a[1], items[0], Order::AccumulatorFirst, 1);
    }, [](Args a) { return ranged(a[0]) && elements_of(a[0])->size() >= 2; });
    // Both start from a double, so the result is always a double.
    b.add_untyped("sum", 1, over_ranged([](Context& c, Args a) { return fold_operator(c, a, NumOp::Add, "+", 0.0); }));
    b.add_untyped("product", 1, over_ranged([](Context& c, Args a) { return fold_operator(c, a, NumOp::Mul, "*", 1.0); }));

    // concat(x, y): a copy of x (same element boxes) with copies of y's elements appended.
    b.add_untyped("concat", 2, [](Context& c, Args a) {
        if (!ranged(a[1])) return declined();
        Value out = clone(a[0]);
        out.set_flags(out.flags() | kTemp);
        if (Vector* v = out.vec()) {
            for (const Value& e : items_of(a[1])) v->push_back(clone(e));
            return out;
        }
        for (const Value& e : items_of(a[1])) push_back(c, out, e);
        return out;
    }, [](Args) { return true; });  // guarded on x being copyable, which every value is
    b.add_untyped("join", 2, over_ranged([](Context& c, Args a) {
        const std::string sep = c.to_text(a[1]);
        std::string out;
        bool first = true;
        for (const Value& e : items_of(a[0])) {
            if (!first) out += sep;
            out += c.to_text(e);
            first = false;
        }
        return make_str(std::move(out));
    }));
    const auto contains = [](Context& c, Args a) {
        Value r = find_in(c, a[0], a[1], a.size > 2 ? &a[2] : nullptr);
        const RangeV& rest = *r.range();
        return make_bool(rest.begin < rest.end);
    };
    b.add_untyped("contains", 2, over_ranged(contains));
    b.add_untyped("contains", 3, contains, ranged_at({0}));
    b.add_untyped("find", 2, over_ranged([](Context& c, Args a) { return find_in(c, a[0], a[1], nullptr); }));
    b.add_untyped("find", 3, [](Context& c, Args a) { return find_in(c, a[0], a[1], &a[2]); }, ranged_at({0}));

    // generate_range(x, y, inserter): x, x + 1, ... while <= y.
    b.add_untyped("generate_range", 3, [](Context& c, Args a) {
        for (const Value& e : items_of(c.call_named("generate_range", Args{a.data, 2}))) call_plain(c, a[2], e);
        return Value();
    });

    // back_inserter(c): push_back bound to c, a function appending its argument to c; the
    // three-argument forms of the helpers hand each result element to such a function instead of
    // building a container.
    b.add_untyped("back_inserter", 1, [](Context& c, Args a) {
        return make_func(make_bound(c.function_value("push_back"), {a.ref(0), Value::unset()}));
    });
}

}  // namespace chai
