// Vector, Map, Pair and ranges.
#include "chai/library/library.hpp"

namespace chai {

namespace {
Vector& vec(const BoxRef& b) { return std::get<Vector>(b->v); }
Map& map(const BoxRef& b) { return std::get<Map>(b->v); }
Vector& changed_vec(const BoxRef& b) { return changeable<Vector>(b); }
Map& changed_map(const BoxRef& b) { return changeable<Map>(b); }
PairV& pair(const BoxRef& b) { return std::get<PairV>(b->v); }
RangeV& range(const BoxRef& b) { return std::get<RangeV>(b->v); }
const std::string& str(const BoxRef& b) { return std::get<std::string>(b->v); }
BoxRef size_box(size_t n) { return num_box(static_cast<uint64_t>(n)); }

size_t index_arg(const BoxRef& b) { return b->num().as<size_t>(); }

void check_nonempty(const Vector& v) {
    if (v.empty()) throw std::out_of_range("Vector is empty");
}

// A map entry: its key cannot be assigned.
BoxRef map_pair(const std::string& k, const BoxRef& v) {
    BoxRef key = make_str(k);
    key->is_const = true;
    return make_box(Value(PairV{key, v, true}), false);
}

}  // namespace

// Snapshot of a container's elements, shared by ranges and the functional helpers.
std::shared_ptr<Vector> elements_of(const BoxRef& c) {
    auto out = std::make_shared<Vector>();
    switch (c->idx()) {
    case V_Vector: *out = vec(c); break;
    case V_Map:
        for (const auto& [k, v] : map(c)) out->push_back(map_pair(k, v));
        break;
    case V_String:
        for (char ch : str(c)) out->push_back(num_box(ch));
        break;
    case V_Range: {
        const RangeV& r = range(c);
        out->assign(r.items->begin() + static_cast<std::ptrdiff_t>(r.begin),
                    r.items->begin() + static_cast<std::ptrdiff_t>(r.end));
        break;
    }
    default: throw ConversionFailed{};
    }
    return out;
}

void add_container_lib(LibBuilder& b) {
    // ---- Vector ----
    b.add("Vector", {}, [](Interp&, Args) { return make_box(Value(Vector{})); });
    b.add("Vector", {K("Vector")}, [](Interp&, Args a) { return make_box(Value(vec(a[0]))); });
    b.add("size", {K("Vector")}, [](Interp&, Args a) { return size_box(vec(a[0]).size()); });
    b.add("empty", {K("Vector")}, [](Interp&, Args a) { return make_bool(vec(a[0]).empty()); });
    b.add("clear", {K("Vector")}, [](Interp&, Args a) {
        changed_vec(a[0]).clear();
        return undef();
    });
    b.add("push_back", {K("Vector"), K("")}, [](Interp&, Args a) {
        changed_vec(a[0]).push_back(clone_box(a[1]));
        return undef();
    });
    b.add("push_back_ref", {K("Vector"), K("")}, [](Interp&, Args a) {
        changed_vec(a[0]).push_back(a[1]);
        return undef();
    });
    b.add("pop_back", {K("Vector")}, [](Interp&, Args a) {
        check_nonempty(changed_vec(a[0]));
        vec(a[0]).pop_back();
        return undef();
    });
    b.add("front", {K("Vector")}, [](Interp&, Args a) {
        check_nonempty(vec(a[0]));
        return vec(a[0]).front();
    });
    b.add("back", {K("Vector")}, [](Interp&, Args a) {
        check_nonempty(vec(a[0]));
        return vec(a[0]).back();
    });
    b.add("at", {K("Vector"), K("Number")}, [](Interp&, Args a) {
        size_t i = index_arg(a[1]);
        if (i >= vec(a[0]).size()) throw_vector_index(i, vec(a[0]).size());
        return vec(a[0])[i];
    });
    auto insert = [](bool ref) {
        return [ref](Interp&, Args a) {
            Vector& v = changed_vec(a[0]);
            size_t p = index_arg(a[1]);
            if (p > v.size()) throw std::range_error("Cannot insert past end of range");
            v.insert(v.begin() + static_cast<std::ptrdiff_t>(p), ref ? a[2] : clone_box(a[2]));
            return undef();
        };
    };
    b.add("insert_at", {K("Vector"), K("Number"), K("")}, insert(false));
    b.add("insert_ref_at", {K("Vector"), K("Number"), K("")}, insert(true));
    b.add("erase_at", {K("Vector"), K("Number")}, [](Interp&, Args a) {
        Vector& v = changed_vec(a[0]);
        size_t p = index_arg(a[1]);
        if (p >= v.size()) throw std::range_error("Cannot erase past end of range");
        v.erase(v.begin() + static_cast<std::ptrdiff_t>(p));
        return undef();
    });

    // resize(n[, value]): new elements are undefined, or each a copy of value.
    auto resize = [](Interp&, Args a) {
        Vector& v = changed_vec(a[0]);
        size_t n = index_arg(a[1]);
        if (n > (size_t(1) << 26)) throw std::length_error("vector::_M_default_append");
        while (v.size() > n) v.pop_back();
        while (v.size() < n) v.push_back(a.size > 2 ? clone_box(a[2]) : make_undef());
        return undef();
    };
    b.add("resize", {K("Vector"), K("Number")}, resize);
    b.add("resize", {K("Vector"), K("Number"), K("")}, resize);
    b.add("reserve", {K("Vector"), K("Number")}, [](Interp&, Args a) {
        size_t n = index_arg(a[1]);
        if (n > (size_t(1) << 26)) throw std::length_error("vector::reserve");
        changed_vec(a[0]).reserve(n);
        return undef();
    });
    b.add("capacity", {K("Vector")}, [](Interp&, Args a) { return size_box(vec(a[0]).capacity()); });

    // ---- Map ----
    b.add("Map", {}, [](Interp&, Args) { return make_box(Value(Map{})); });
    b.add("Map", {K("Map")}, [](Interp&, Args a) { return make_box(Value(map(a[0]))); });
    b.add("size", {K("Map")}, [](Interp&, Args a) { return size_box(map(a[0]).size()); });
    b.add("empty", {K("Map")}, [](Interp&, Args a) { return make_bool(map(a[0]).empty()); });
    b.add("clear", {K("Map")}, [](Interp&, Args a) {
        changed_map(a[0]).clear();
        return undef();
    });
    b.add("count", {K("Map"), K("string")}, [](Interp&, Args a) { return size_box(map(a[0]).count(str(a[1]))); });
    b.add("erase", {K("Map"), K("string")}, [](Interp&, Args a) { return size_box(changed_map(a[0]).erase(str(a[1]))); });
    b.add("at", {K("Map"), K("string")}, [](Interp&, Args a) {
        auto it = map(a[0]).find(str(a[1]));
        if (it == map(a[0]).end()) throw std::out_of_range("map::at");
        return it->second;
    });
    b.add("insert", {K("Map"), K("Map")}, [](Interp&, Args a) {
        Map& m = changed_map(a[0]);
        for (const auto& [k, v] : map(a[1])) m.emplace(k, clone_box(v));
        return undef();
    });
    // insert(entry) adds a copy of the entry's value unless the key is present.
    b.add("insert", {K("Map"), K("Map_Pair")}, [](Interp&, Args a) {
        const PairV& p = pair(a[1]);
        if (p.first->idx() != V_String) throw ConversionFailed{};
        changed_map(a[0]).emplace(str(p.first), clone_box(p.second));
        return undef();
    });
    b.add("insert_ref", {K("Map"), K("Map_Pair")}, [](Interp&, Args a) {
        const PairV& p = pair(a[1]);
        if (p.first->idx() != V_String) throw ConversionFailed{};
        changed_map(a[0]).emplace(str(p.first), p.second);
        return undef();
    });

    // ---- Pair ----
    b.add("Pair", {}, [](Interp&, Args) { return make_box(Value(PairV{make_undef(), make_undef(), false})); });
    // A pair holds the argument boxes themselves, so `Pair(a, v)` sees later changes to v.
    // Literals and temporaries are copied: the slot must stay assignable and must not keep
    // the temporary flag (a later `var x = p.first` would adopt the box instead of copying).
    auto hold = [](const BoxRef& x) { return x->is_const || x->is_temp ? clone_box(x) : x; };
    b.add("Pair", {K(""), K("")},
          [hold](Interp&, Args a) { return make_box(Value(PairV{hold(a[0]), hold(a[1]), false})); });
    b.add("Map_Pair", {K("string"), K("")}, [hold](Interp&, Args a) {
        BoxRef p = map_pair(str(a[0]), hold(a[1]));
        p->is_temp = true;
        return p;
    });
    for (const char* t : {"Pair", "Map_Pair"}) {
        b.add_member("first", K(t), [](Interp&, Args a) { return pair(a[0]).first; });
        b.add_member("second", K(t), [](Interp&, Args a) { return pair(a[0]).second; });
    }

    // ---- ranges ----
    for (const char* t : {"Vector", "Map", "string"})
        b.add("range", {K(t)}, [](Interp&, Args a) {
            auto items = elements_of(a[0]);
            size_t n = items->size();
            return make_box(Value(RangeV{std::move(items), 0, n}));
        });
    // A range of a range is a copy of it: popping one leaves the other alone.
    b.add("range", {K("Range")}, [](Interp&, Args a) { return make_box(Value(range(a[0]))); });
    b.add("retro", {K("Range")}, [](Interp&, Args a) {
        const RangeV& r = range(a[0]);
        auto items = std::make_shared<Vector>(r.items->begin() + static_cast<std::ptrdiff_t>(r.begin),
                                              r.items->begin() + static_cast<std::ptrdiff_t>(r.end));
        std::reverse(items->begin(), items->end());
        size_t n = items->size();
        return make_box(Value(RangeV{std::move(items), 0, n}));
    });
    auto need = [](const RangeV& r) {
        if (r.begin >= r.end) throw std::range_error("Range empty");
    };
    b.add("empty", {K("Range")}, [](Interp&, Args a) { return make_bool(range(a[0]).begin >= range(a[0]).end); });
    b.add("front", {K("Range")}, [need](Interp&, Args a) {
        need(range(a[0]));
        return (*range(a[0]).items)[range(a[0]).begin];
    });
    b.add("back", {K("Range")}, [need](Interp&, Args a) {
        need(range(a[0]));
        return (*range(a[0]).items)[range(a[0]).end - 1];
    });
    b.add("pop_front", {K("Range")}, [need](Interp&, Args a) {
        need(range(a[0]));
        ++range(a[0]).begin;
        return undef();
    });
    b.add("pop_back", {K("Range")}, [need](Interp&, Args a) {
        need(range(a[0]));
        --range(a[0]).end;
        return undef();
    });

    b.add("generate_range", {K("Number"), K("Number")}, [](Interp& in, Args a) {
        Vector out;
        Number cur = a[0]->num();
        const Number& last = a[1]->num();
        while (num_compare(NumOp::Le, cur, last)) {
            in.count_step(nullptr);
            if (out.size() >= 16'000'000) throw std::length_error("Range too large");
            out.push_back(make_box(Value(cur), false));
            Number next = num_convert(num_binary(NumOp::Add, cur, Number::make(1)), cur.kind);
            if (!num_compare(NumOp::Gt, next, cur)) break;  // wrapped around
            cur = next;
        }
        return make_box(Value(std::move(out)));
    });
}

}  // namespace chai
