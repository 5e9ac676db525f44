// Functional helpers over anything with a range.
#include <algorithm>
#include <cmath>

#include "chai/runtime/char_ref.hpp"
#include "chai/library/library.hpp"

namespace chai {

std::shared_ptr<Vector> elements_of(const BoxRef& c);

namespace {

Vector items_of(const BoxRef& c) { return *elements_of(c); }

// Whether range() applies to the value: the guard of most functional helpers.
bool ranged(const BoxRef& c) {
    VIdx k = c->idx();
    return k == V_Vector || k == V_Map || k == V_String || k == V_Range;
}
// Guard accepting arguments whose given positions are all ranged.
std::function<bool(Args)> ranged_at(std::vector<size_t> positions) {
    return [positions](Args a) {
        return std::all_of(positions.begin(), positions.end(), [&](size_t i) { return ranged(a[i]); });
    };
}

BoxRef call1(Interp& in, const BoxRef& f, const BoxRef& x) {
    BoxRef args[1] = {x};
    return in.call_value(f, Args{args, 1}, nullptr);
}
BoxRef call2(Interp& in, const BoxRef& f, const BoxRef& x, const BoxRef& y) {
    BoxRef args[2] = {x, y};
    return in.call_value(f, Args{args, 2}, nullptr);
}
// The helpers loop like loops written in script: `break` in a callback ends the helper's loop
// and `continue` moves on to the next element; either way the cut-short call gives no result.
enum class Step { Go, Skip, Stop };
Step step(Interp& in) {
    if (in.ctl != Ctl::Break && in.ctl != Ctl::Continue) return Step::Go;
    Step s = in.ctl == Ctl::Break ? Step::Stop : Step::Skip;
    in.ctl = Ctl::None;
    return s;
}
// A predicate's answer: true, false, or the loop's step when the call was cut short.
Step test(Interp& in, const BoxRef& f, const BoxRef& x, bool& yes) {
    BoxRef r = call1(in, f, x);
    Step s = step(in);
    if (s == Step::Go) yes = in.truth(r, nullptr);
    return s;
}
BoxRef vec_box(Vector v) { return make_box(Value(std::move(v))); }

BoxRef push_back(Interp& in, const BoxRef& target, const BoxRef& x) {
    static const uint32_t push = intern("push_back");
    BoxRef args[2] = {target, x};
    return in.call_named(push, Args{args, 2}, nullptr);
}

// How many elements `while (n > 0) { ...; --n }` visits: none for n <= 0, ceil(n) otherwise.
size_t count_arg(const BoxRef& b) {
    if (!b->is_num()) throw ConversionFailed{};
    const Number& n = b->num();
    if (n.is_floating()) {
        double d = n.as<double>();
        return d > 0 ? static_cast<size_t>(std::min(std::ceil(d), 1e18)) : 0;
    }
    if (n.is_signed_int() && n.i <= 0) return 0;
    return n.as<size_t>();
}

// Where a helper puts its result elements: a new container of the source's kind (a string
// for a string, a Vector otherwise; elements cloned as push_back does), or an inserter function.
class Sink {
public:
    static Sink like(Interp& in, const BoxRef& source) { return Sink(in, BoxRef(), source->idx() == V_String); }
    // A null inserter collects into a Vector.
    static Sink into(Interp& in, const BoxRef& inserter) { return Sink(in, inserter, false); }

    void add(const BoxRef& e) {
        if (inserter_) {
            call1(in_, inserter_, e);
        } else if (!text_) {
            items_.push_back(clone_box(e));
        } else if (e->is_num()) {
            check_string_size(text_out_.size() + 1);
            text_out_ += e->num().as<char>();
        } else {
            push_back(in_, make_str(""), e);  // raises the error push_back gives for e
        }
    }
    BoxRef result() {
        if (inserter_) return undef();
        return text_ ? make_str(std::move(text_out_)) : vec_box(std::move(items_));
    }

private:
    Sink(Interp& in, BoxRef inserter, bool text) : in_(in), inserter_(std::move(inserter)), text_(text) {}

    Interp& in_;
    BoxRef inserter_;
    bool text_ = false;
    Vector items_;
    std::string text_out_;
};

using Helper = void (*)(Interp& in, Args a, Sink& out);

// Adds helper as name(c, x...) giving a new container like c (a Vector when keep_kind is false)
// and as name(c, x..., inserter), guarded on the containers being ranged.
void add_helper(LibBuilder& b, const char* name, int arity, bool keep_kind, Helper h,
                std::vector<size_t> containers = {0}) {
    b.add_untyped(name, arity, [h, keep_kind](Interp& in, Args a) {
        Sink out = keep_kind ? Sink::like(in, a[0]) : Sink::into(in, BoxRef());
        h(in, a, out);
        return out.result();
    });
    b.add_untyped(name, arity + 1, [h, arity](Interp& in, Args a) {
        Sink out = Sink::into(in, a[static_cast<size_t>(arity)]);
        h(in, Args{a.data, static_cast<size_t>(arity)}, out);
        return out.result();
    }, ranged_at(std::move(containers)));
}

void map_to(Interp& in, Args a, Sink& out) {
    for (const BoxRef& e : items_of(a[0])) {
        BoxRef r = call1(in, a[1], e);
        Step s = step(in);
        if (s == Step::Stop) break;
        if (s == Step::Go) out.add(r);
    }
}
void filter_to(Interp& in, Args a, Sink& out) {
    for (const BoxRef& e : items_of(a[0])) {
        bool keep = false;
        if (test(in, a[1], e, keep) == Step::Stop) break;
        if (keep) out.add(e);
    }
}
void take_to(Interp&, Args a, Sink& out) {
    Vector items = items_of(a[0]);
    size_t n = std::min(count_arg(a[1]), items.size());
    for (size_t i = 0; i < n; ++i) out.add(items[i]);
}
void drop_to(Interp&, Args a, Sink& out) {
    Vector items = items_of(a[0]);
    for (size_t i = std::min(count_arg(a[1]), items.size()); i < items.size(); ++i) out.add(items[i]);
}
void take_while_to(Interp& in, Args a, Sink& out) {
    for (const BoxRef& e : items_of(a[0])) {
        bool more = false;
        Step s = test(in, a[1], e, more);
        if (s == Step::Stop || (s == Step::Go && !more)) break;
        out.add(e);
    }
}
void drop_while_to(Interp& in, Args a, Sink& out) {
    Vector items = items_of(a[0]);
    size_t i = 0;
    for (; i < items.size(); ++i) {
        bool more = false;
        Step s = test(in, a[1], items[i], more);
        if (s == Step::Stop || (s == Step::Go && !more)) break;
    }
    for (; i < items.size(); ++i) out.add(items[i]);
}
void reverse_to(Interp&, Args a, Sink& out) {
    Vector items = items_of(a[0]);
    for (size_t i = items.size(); i-- > 0;) out.add(items[i]);
}
void zip_with_to(Interp& in, Args a, Sink& out) {
    auto x = elements_of(a[1]), y = elements_of(a[2]);
    for (size_t i = 0; i < std::min(x->size(), y->size()); ++i) {
        BoxRef r = call2(in, a[0], (*x)[i], (*y)[i]);
        Step s = step(in);
        if (s == Step::Stop) break;
        if (s == Step::Go) out.add(r);
    }
}
BoxRef collate(const BoxRef& x, const BoxRef& y) { return vec_box(Vector{clone_box(x), clone_box(y)}); }
void zip_to(Interp&, Args a, Sink& out) {
    auto x = elements_of(a[0]), y = elements_of(a[1]);
    for (size_t i = 0; i < std::min(x->size(), y->size()); ++i) out.add(collate((*x)[i], (*y)[i]));
}

// The first element for which cmp(element, x) holds, as a range to the end; empty if none.
BoxRef find_in(Interp& in, const BoxRef& c, const BoxRef& x, const BoxRef* cmp) {
    auto items = elements_of(c);
    size_t i = 0, n = items->size();
    for (; i < n; ++i) {
        if (!cmp) {
            if (values_equal(in, (*items)[i], x)) break;
            continue;
        }
        BoxRef r = call2(in, *cmp, (*items)[i], x);
        Step s = step(in);
        if (s == Step::Stop) {
            i = n;  // cut short: nothing found
            break;
        }
        if (s == Step::Go && in.truth(r, nullptr)) break;
    }
    return make_box(Value(RangeV{std::move(items), i, n}));
}

// foldl(c, op, start): numbers natively, anything else through the operator's overloads.
BoxRef fold_operator(Interp& in, Args a, NumOp op, const char* name, double start) {
    const uint32_t fn = intern(name);
    BoxRef acc = num_box(start);
    for (const BoxRef& e : items_of(a[0])) {
        if (e->is_num() && acc->is_num()) {
            acc = make_num(num_binary(op, e->num(), acc->num()));
        } else {
            BoxRef args[2] = {e, acc};
            acc = in.call_named(fn, Args{args, 2}, nullptr);
        }
    }
    return acc;
}

// acc = f(element, acc) (foldl) or f(acc, element) (reduce) from items[from] on.
enum class Order { ElementFirst, AccumulatorFirst };
BoxRef fold(Interp& in, const Vector& items, const BoxRef& f, BoxRef acc, Order order, size_t from = 0) {
    for (size_t i = from; i < items.size(); ++i) {
        BoxRef r = order == Order::ElementFirst ? call2(in, f, items[i], acc) : call2(in, f, acc, items[i]);
        Step s = step(in);
        if (s == Step::Stop) break;
        if (s == Step::Go) acc = r;
    }
    return acc;
}

}  // namespace

void add_functional_lib(LibBuilder& b) {
    b.add_untyped("for_each", 2, [](Interp& in, Args a) {
        // A string's chars go by reference too, so f may change them.
        if (a[0]->idx() == V_String && !a[0]->is_const) {
            const std::string& text = std::get<std::string>(a[0]->v);
            for (size_t i = 0, n = text.size(); i < n && i < text.size(); ++i) {
                call1(in, a[1], make_char_ref(a[0], i));
                if (step(in) == Step::Stop) break;
            }
            return undef();
        }
        auto items = elements_of(a[0]);
        for (const BoxRef& e : *items) {
            call1(in, a[1], e);
            if (step(in) == Step::Stop) break;
        }
        return undef();
    }, ranged_at({0}));
    add_helper(b, "map", 2, true, map_to);
    add_helper(b, "filter", 2, true, filter_to);
    add_helper(b, "take", 2, true, take_to);
    add_helper(b, "drop", 2, true, drop_to);
    add_helper(b, "take_while", 2, true, take_while_to);
    add_helper(b, "drop_while", 2, true, drop_while_to);
    b.add_untyped("reverse", 1, [](Interp& in, Args a) {
        Sink out = Sink::like(in, a[0]);
        reverse_to(in, a, out);
        return out.result();
    });
    // zip results are always Vectors of [x, y] pairs.
    add_helper(b, "zip_with", 3, false, zip_with_to, {1, 2});
    add_helper(b, "zip", 2, false, zip_to, {0, 1});
    b.add_untyped("collate", 2, [](Interp&, Args a) { return collate(a[0], a[1]); });

    // acc = f(element, acc), element first.
    b.add_untyped("foldl", 3, [](Interp& in, Args a) { return fold(in, items_of(a[0]), a[1], a[2], Order::ElementFirst); },
                  ranged_at({0}));
    // Unlike foldl, acc = f(acc, element), starting from the first element.
    b.add_untyped("reduce", 2, [](Interp& in, Args a) -> BoxRef {
        auto items = elements_of(a[0]);
        return fold(in, *items, a[1], clone_box((*items)[0]), Order::AccumulatorFirst, 1);
    }, [](Args a) { return ranged(a[0]) && elements_of(a[0])->size() >= 2; });
    // Both start from a double, so the result is always a double.
    b.add_untyped("sum", 1, [](Interp& in, Args a) { return fold_operator(in, a, NumOp::Add, "+", 0.0); });
    b.add_untyped("product", 1, [](Interp& in, Args a) { return fold_operator(in, a, NumOp::Mul, "*", 1.0); });

    // concat(x, y): a copy of x (same element boxes) with clones of y's elements appended.
    b.add_untyped("concat", 2, [](Interp& in, Args a) {
        BoxRef out = clone_box(a[0]);
        out->is_temp = true;
        if (auto* v = std::get_if<Vector>(&out->v)) {
            for (const BoxRef& e : items_of(a[1])) v->push_back(clone_box(e));
            return out;
        }
        for (const BoxRef& e : items_of(a[1])) push_back(in, out, e);
        return out;
    }, [](Args) { return true; });  // guarded on x being copyable, which every value is
    b.add_untyped("join", 2, [](Interp& in, Args a) {
        std::string sep = in.to_text(a[1]);
        std::string out;
        bool first = true;
        for (const BoxRef& e : items_of(a[0])) {
            if (!first) out += sep;
            out += in.to_text(e);
            first = false;
        }
        return make_str(std::move(out));
    });
    auto contains = [](Interp& in, Args a) {
        BoxRef r = find_in(in, a[0], a[1], a.size > 2 ? &a[2] : nullptr);
        const RangeV& rest = std::get<RangeV>(r->v);
        return make_bool(rest.begin < rest.end);
    };
    b.add_untyped("contains", 2, contains);
    b.add_untyped("contains", 3, contains, ranged_at({0}));
    b.add_untyped("find", 2, [](Interp& in, Args a) { return find_in(in, a[0], a[1], nullptr); });
    b.add_untyped("find", 3, [](Interp& in, Args a) { return find_in(in, a[0], a[1], &a[2]); }, ranged_at({0}));

    // generate_range(x, y, inserter): x, x + 1, ... while <= y.
    b.add_untyped("generate_range", 3, [](Interp& in, Args a) {
        static const uint32_t gen = intern("generate_range");
        for (const BoxRef& e : items_of(in.call_named(gen, Args{a.data, 2}, nullptr))) call1(in, a[2], e);
        return undef();
    });

    // back_inserter(c): push_back bound to c, a function appending its argument to c; the
    // three-argument forms of the helpers hand each result element to such a function instead
    // of building a container.
    b.add_untyped("back_inserter", 1, [](Interp& in, Args a) {
        static const uint32_t push = intern("push_back");
        return func_box(make_bound(in.function_value(push), {a[0], BoxRef()}));
    });
}

}  // namespace chai
