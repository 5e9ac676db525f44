// Functional helpers over anything with a range.
#include "chai/stdlib.hpp"

namespace chai {

std::shared_ptr<Vector> elements_of(const BoxRef& c);

namespace {

Vector items_of(const BoxRef& c) { return *elements_of(c); }

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
size_t count_arg(const BoxRef& b) {
    if (!b->is_num()) throw ConversionFailed{};
    return b->num().as<size_t>();
}
BoxRef fold(Interp& in, const Vector& items, const BoxRef& f, BoxRef acc, size_t from = 0) {
    for (size_t i = from; i < items.size(); ++i) {
        BoxRef r = call2(in, f, items[i], acc);
        Step s = step(in);
        if (s == Step::Stop) break;
        if (s == Step::Go) acc = r;
    }
    return acc;
}

}  // namespace

void add_functional_lib(LibBuilder& b) {
    b.add_untyped("for_each", 2, [](Interp& in, Args a) {
        auto items = elements_of(a[0]);
        for (const BoxRef& e : *items) {
            call1(in, a[1], e);
            if (step(in) == Step::Stop) break;
        }
        return undef();
    });
    b.add_untyped("map", 2, [](Interp& in, Args a) {
        auto items = elements_of(a[0]);
        Vector out;
        for (const BoxRef& e : *items) {
            BoxRef r = call1(in, a[1], e);
            Step s = step(in);
            if (s == Step::Stop) break;
            if (s == Step::Go) out.push_back(clone_box(r));
        }
        return vec_box(std::move(out));
    });
    b.add_untyped("filter", 2, [](Interp& in, Args a) {
        auto items = elements_of(a[0]);
        Vector out;
        for (const BoxRef& e : *items) {
            bool keep = false;
            if (test(in, a[1], e, keep) == Step::Stop) break;
            if (keep) out.push_back(clone_box(e));
        }
        return vec_box(std::move(out));
    });
    b.add_untyped("foldl", 3, [](Interp& in, Args a) { return fold(in, *elements_of(a[0]), a[1], a[2]); });
    b.add_untyped("reduce", 2, [](Interp& in, Args a) -> BoxRef {
        auto items = elements_of(a[0]);
        if (items->size() < 2) in.fail(nullptr, "Guard evaluation failed with function 'reduce'");
        return fold(in, *items, a[1], (*items)[0], 1);
    });
    b.add_untyped("sum", 1, [](Interp&, Args a) {
        BoxRef acc = num_box(0.0);
        for (const BoxRef& e : items_of(a[0])) {
            if (!e->is_num()) throw ConversionFailed{};
            acc = make_num(num_binary(NumOp::Add, e->num(), acc->num()));
        }
        return acc;
    });
    b.add_untyped("product", 1, [](Interp&, Args a) {
        BoxRef acc = num_box(1.0);
        for (const BoxRef& e : items_of(a[0])) {
            if (!e->is_num()) throw ConversionFailed{};
            acc = make_num(num_binary(NumOp::Mul, e->num(), acc->num()));
        }
        return acc;
    });
    b.add_untyped("take", 2, [](Interp&, Args a) {
        auto items = elements_of(a[0]);
        size_t n = std::min(count_arg(a[1]), items->size());
        return vec_box(Vector(items->begin(), items->begin() + static_cast<std::ptrdiff_t>(n)));
    });
    b.add_untyped("drop", 2, [](Interp&, Args a) {
        auto items = elements_of(a[0]);
        size_t n = std::min(count_arg(a[1]), items->size());
        return vec_box(Vector(items->begin() + static_cast<std::ptrdiff_t>(n), items->end()));
    });
    b.add_untyped("take_while", 2, [](Interp& in, Args a) {
        Vector out;
        for (const BoxRef& e : items_of(a[0])) {
            bool more = false;
            Step s = test(in, a[1], e, more);
            if (s == Step::Stop || (s == Step::Go && !more)) break;
            out.push_back(e);
        }
        return vec_box(std::move(out));
    });
    b.add_untyped("drop_while", 2, [](Interp& in, Args a) {
        auto items = elements_of(a[0]);
        size_t i = 0;
        for (; i < items->size(); ++i) {
            bool more = false;
            Step s = test(in, a[1], (*items)[i], more);
            if (s == Step::Stop || (s == Step::Go && !more)) break;
        }
        return vec_box(Vector(items->begin() + static_cast<std::ptrdiff_t>(i), items->end()));
    });
    b.add_untyped("concat", 2, [](Interp&, Args a) {
        Vector out = *elements_of(a[0]);
        for (const BoxRef& e : items_of(a[1])) out.push_back(clone_box(e));
        return vec_box(std::move(out));
    });
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
    b.add_untyped("reverse", 1, [](Interp&, Args a) {
        Vector out = *elements_of(a[0]);
        std::reverse(out.begin(), out.end());
        return vec_box(std::move(out));
    });
    b.add_untyped("contains", 2, [](Interp& in, Args a) {
        for (const BoxRef& e : items_of(a[0]))
            if (values_equal(in, e, a[1])) return make_bool(true);
        return make_bool(false);
    });
    b.add_untyped("contains", 3, [](Interp& in, Args a) {
        for (const BoxRef& e : items_of(a[0])) {
            BoxRef r = call2(in, a[2], e, a[1]);
            Step s = step(in);
            if (s == Step::Stop) break;
            if (s == Step::Go && in.truth(r, nullptr)) return make_bool(true);
        }
        return make_bool(false);
    });
    b.add_untyped("find", 2, [](Interp& in, Args a) {
        auto items = elements_of(a[0]);
        size_t i = 0;
        while (i < items->size() && !values_equal(in, (*items)[i], a[1])) ++i;
        size_t n = items->size();
        return make_box(Value(RangeV{std::move(items), i, n}));
    });
    b.add_untyped("zip", 2, [](Interp&, Args a) {
        auto x = elements_of(a[0]), y = elements_of(a[1]);
        Vector out;
        for (size_t i = 0; i < std::min(x->size(), y->size()); ++i)
            out.push_back(make_box(Value(Vector{clone_box((*x)[i]), clone_box((*y)[i])}), false));
        return vec_box(std::move(out));
    });
    b.add_untyped("zip_with", 3, [](Interp& in, Args a) {
        auto x = elements_of(a[1]), y = elements_of(a[2]);
        Vector out;
        for (size_t i = 0; i < std::min(x->size(), y->size()); ++i) {
            BoxRef r = call2(in, a[0], (*x)[i], (*y)[i]);
            Step s = step(in);
            if (s == Step::Stop) break;
            if (s == Step::Go) out.push_back(clone_box(r));
        }
        return vec_box(std::move(out));
    });
    b.add_untyped("collate", 2, [](Interp&, Args a) { return vec_box(Vector{clone_box(a[0]), clone_box(a[1])}); });

    // back_inserter(c): a function appending its argument to c; the three-argument forms of the
    // helpers hand each result element to such a function instead of building a container.
    b.add_untyped("back_inserter", 1, [](Interp&, Args a) {
        BoxRef target = a[0];
        return func_box(make_native("back_inserter", {key_any()}, [target](Interp& in, Args x) {
            static const uint32_t push = intern("push_back");
            BoxRef args[2] = {target, x[0]};
            return in.call_named(push, Args{args, 2}, nullptr);
        }));
    });
    for (const char* name : {"map", "filter", "take", "drop", "take_while", "drop_while"}) {
        uint32_t id = intern(name);
        b.add_untyped(name, 3, [id](Interp& in, Args a) {
            BoxRef result = in.call_named(id, Args{a.data, 2}, nullptr);
            for (const BoxRef& e : items_of(result)) {
                call1(in, a[2], e);
                if (step(in) == Step::Stop) break;
            }
            return undef();
        });
    }
}

}  // namespace chai
