// Vector, Map, Pair and ranges.
#include "chai/library/library.hpp"
#include "chai/runtime/objects.hpp"

namespace chai {

namespace {
Vector& vec(const Value& v) { return *v.vec(); }
Map& map(const Value& v) { return *v.map(); }
PairV& pair(const Value& v) { return *v.pair(); }
RangeV& range(const Value& v) { return *v.range(); }
const std::string& str(const Value& v) { return *v.str(); }
Value size_value(size_t n) { return num_value(static_cast<uint64_t>(n)); }
size_t index_arg(const Value& v) { return v.num().as<size_t>(); }

void check_nonempty(const Vector& v) {
    if (v.empty()) throw std::out_of_range("Vector is empty");
}

// A map entry: its key cannot be assigned.
Value map_pair(const std::string& k, Value& v) {
    return make_box<P_Pair>(PairV{make_box<P_String>(k, kConst), promote(v), true}, 0);
}
Value range_of(std::shared_ptr<Vector> items) {
    const size_t n = items->size();
    return make_box<P_Range>(RangeV{std::move(items), 0, n});
}

}  // namespace

std::shared_ptr<Vector> elements_of(const Value& c) {
    auto out = std::make_shared<Vector>();
    switch (c.kind()) {
    case Kind::Vector: *out = share_elements(vec(c)); break;
    case Kind::Map:
        for (auto& [k, v] : map(c)) out->push_back(map_pair(k, v));
        break;
    case Kind::String:
        for (char ch : str(c)) out->push_back(Value::of(ch));
        break;
    case Kind::Range: {
        const RangeV& r = range(c);
        out->assign(r.items->begin() + static_cast<std::ptrdiff_t>(r.begin),
                    r.items->begin() + static_cast<std::ptrdiff_t>(r.end));
        break;
    }
    default: return nullptr;
    }
    return out;
}

void add_container_lib(LibBuilder& b) {
    // ---- Vector ----
    b.add("Vector", {}, [](Context&, Args) { return make_vec({}); });
    b.add("Vector", {K("Vector")}, [](Context&, Args a) { return make_vec(share_elements(vec(a[0]))); });
    b.add_intrinsic("size", {K("Vector")}, Intrinsic::VectorSize);
    b.add("empty", {K("Vector")}, [](Context&, Args a) { return make_bool(vec(a[0]).empty()); });
    b.add("clear", {K("Vector")}, [](Context&, Args a) {
        Vector* v = changeable_vec(a[0]);
        if (!v) return declined();
        v->clear();
        return Value();
    });
    b.add_intrinsic("push_back", {K("Vector"), K("")}, Intrinsic::VectorPushBack);
    b.add("push_back_ref", {K("Vector"), K("")}, [](Context&, Args a) {
        Vector* v = changeable_vec(a[0]);
        if (!v) return declined();
        v->push_back(a.ref(1));
        return Value();
    });
    b.add("pop_back", {K("Vector")}, [](Context&, Args a) {
        Vector* v = changeable_vec(a[0]);
        if (!v) return declined();
        check_nonempty(*v);
        v->pop_back();
        return Value();
    });
    b.add("front", {K("Vector")}, [](Context&, Args a) {
        check_nonempty(vec(a[0]));
        return ref_to(vec(a[0]).front());
    });
    b.add("back", {K("Vector")}, [](Context&, Args a) {
        check_nonempty(vec(a[0]));
        return ref_to(vec(a[0]).back());
    });
    const auto at = [](Context&, Args a) {
        const size_t i = index_arg(a[1]);
        if (i >= vec(a[0]).size()) throw_vector_index(i, vec(a[0]).size());
        return ref_to(vec(a[0])[i]);
    };
    b.add("at", {K("Vector"), K("Number")}, at);
    b.add("[]", {K("Vector"), K("Number")}, at);
    const auto insert = [](bool ref) {
        return [ref](Context&, Args a) {
            Vector* v = changeable_vec(a[0]);
            if (!v) return declined();
            const size_t p = index_arg(a[1]);
            if (p > v->size()) throw std::range_error("Cannot insert past end of range");
            v->insert(v->begin() + static_cast<std::ptrdiff_t>(p), ref ? a.ref(2) : clone(a[2]));
            return Value();
        };
    };
    b.add("insert_at", {K("Vector"), K("Number"), K("")}, insert(false));
    b.add("insert_ref_at", {K("Vector"), K("Number"), K("")}, insert(true));
    b.add("erase_at", {K("Vector"), K("Number")}, [](Context&, Args a) {
        Vector* v = changeable_vec(a[0]);
        if (!v) return declined();
        const size_t p = index_arg(a[1]);
        if (p >= v->size()) throw std::range_error("Cannot erase past end of range");
        v->erase(v->begin() + static_cast<std::ptrdiff_t>(p));
        return Value();
    });
    // resize(n[, value]): new elements are undefined, or each a copy of value.
    const auto resize = [](Context&, Args a) {
        Vector* v = changeable_vec(a[0]);
        if (!v) return declined();
        const size_t n = index_arg(a[1]);
        if (n > (size_t(1) << 26)) throw std::length_error("vector::_M_default_append");
        while (v->size() > n) v->pop_back();
        while (v->size() < n) v->push_back(a.size > 2 ? clone(a[2]) : Value());
        return Value();
    };
    b.add("resize", {K("Vector"), K("Number")}, resize);
    b.add("resize", {K("Vector"), K("Number"), K("")}, resize);
    b.add("reserve", {K("Vector"), K("Number")}, [](Context&, Args a) {
        Vector* v = changeable_vec(a[0]);
        if (!v) return declined();
        const size_t n = index_arg(a[1]);
        if (n > (size_t(1) << 26)) throw std::length_error("vector::reserve");
        v->reserve(n);
        return Value();
    });
    b.add("capacity", {K("Vector")}, [](Context&, Args a) { return size_value(vec(a[0]).capacity()); });

    // ---- Map ----
    b.add("Map", {}, [](Context&, Args) { return make_map({}); });
    b.add("Map", {K("Map")}, [](Context&, Args a) { return make_map(share_values(map(a[0]))); });
    b.add_intrinsic("size", {K("Map")}, Intrinsic::MapSize);
    b.add("empty", {K("Map")}, [](Context&, Args a) { return make_bool(map(a[0]).empty()); });
    b.add("clear", {K("Map")}, [](Context&, Args a) {
        Map* m = changeable_map(a[0]);
        if (!m) return declined();
        m->clear();
        return Value();
    });
    b.add("count", {K("Map"), K("string")}, [](Context&, Args a) { return size_value(map(a[0]).count(str(a[1]))); });
    b.add("erase", {K("Map"), K("string")}, [](Context&, Args a) {
        Map* m = changeable_map(a[0]);
        return m ? size_value(m->erase(str(a[1]))) : declined();
    });
    b.add("at", {K("Map"), K("string")}, [](Context&, Args a) {
        auto it = map(a[0]).find(str(a[1]));
        if (it == map(a[0]).end()) throw std::out_of_range("map::at");
        return ref_to(it->second);
    });
    b.add("[]", {K("Map"), K("string")}, [](Context&, Args a) { return ref_to(map(a[0])[str(a[1])]); });
    b.add("insert", {K("Map"), K("Map")}, [](Context&, Args a) {
        Map* m = changeable_map(a[0]);
        if (!m) return declined();
        for (const auto& [k, v] : map(a[1])) m->emplace(k, clone(v));
        return Value();
    });
    // insert(entry) adds a copy of the entry's value unless the key is present.
    b.add("insert", {K("Map"), K("Map_Pair")}, [](Context&, Args a) {
        Map* m = changeable_map(a[0]);
        const PairV& p = pair(a[1]);
        if (!m || !p.first.str()) return declined();
        m->emplace(*p.first.str(), clone(p.second));
        return Value();
    });
    b.add("insert_ref", {K("Map"), K("Map_Pair")}, [](Context&, Args a) {
        Map* m = changeable_map(a[0]);
        PairV& p = pair(a[1]);
        if (!m || !p.first.str()) return declined();
        m->emplace(*p.first.str(), promote(p.second));
        return Value();
    });
    b.add("[]", {K("string"), K("Number")}, [](Context&, Args a) {
        const size_t k = index_arg(a[1]);
        if (k >= str(a[0]).size()) throw_string_index(k, str(a[0]).size());
        return a[0].is_const() ? Value::of(str(a[0])[k], kConst | kTemp) : make_char_ref(a.ref(0), k);
    });
    b.add("[]", {K("Dynamic_Object"), K("string")}, [](Context&, Args a) {
        DynObject& o = **a[0].obj();
        return ref_to(o.slot(o.names->intern(str(a[1]))));
    });

    // ---- Pair ----
    b.add("Pair", {}, [](Context&, Args) { return make_box<P_Pair>(PairV{}); });
    // A pair holds the argument boxes themselves, so `Pair(a, v)` sees later changes to v.
    // Literals and temporaries are copied: the slot must stay assignable and must not keep the
    // temporary flag (a later `var x = p.first` would adopt the box instead of copying).
    const auto hold = [](Args a, size_t i) { return a[i].is_const() || a[i].is_temp() ? clone(a[i]) : Value(a.ref(i)); };
    b.add("Pair", {K(""), K("")}, [hold](Context&, Args a) {
        return make_box<P_Pair>(PairV{hold(a, 0), hold(a, 1), false});
    });
    b.add("Map_Pair", {K("string"), K("")}, [hold](Context&, Args a) {
        Value second = hold(a, 1);
        Value p = map_pair(str(a[0]), second);
        p.set_flags(kTemp);
        return p;
    });
    for (const char* t : {"Pair", "Map_Pair"}) {
        b.add_member("first", K(t), [](Context&, Args a) { return ref_to(pair(a[0]).first); });
        b.add_member("second", K(t), [](Context&, Args a) { return ref_to(pair(a[0]).second); });
    }

    // ---- ranges ----
    for (const char* t : {"Vector", "Map", "string"})
        b.add("range", {K(t)}, [](Context&, Args a) { return range_of(elements_of(a[0])); });
    // A range of a range is a copy of it: popping one leaves the other alone.
    b.add("range", {K("Range")}, [](Context&, Args a) { return make_box<P_Range>(range(a[0])); });
    b.add("retro", {K("Range")}, [](Context&, Args a) {
        const RangeV& r = range(a[0]);
        auto items = std::make_shared<Vector>(r.items->begin() + static_cast<std::ptrdiff_t>(r.begin),
                                              r.items->begin() + static_cast<std::ptrdiff_t>(r.end));
        std::reverse(items->begin(), items->end());
        return range_of(std::move(items));
    });
    const auto need = [](const RangeV& r) {
        if (r.begin >= r.end) throw std::range_error("Range empty");
    };
    b.add("empty", {K("Range")}, [](Context&, Args a) { return make_bool(range(a[0]).begin >= range(a[0]).end); });
    b.add("front", {K("Range")}, [need](Context&, Args a) {
        need(range(a[0]));
        return ref_to((*range(a[0]).items)[range(a[0]).begin]);
    });
    b.add("back", {K("Range")}, [need](Context&, Args a) {
        need(range(a[0]));
        return ref_to((*range(a[0]).items)[range(a[0]).end - 1]);
    });
    b.add("pop_front", {K("Range")}, [need](Context&, Args a) {
        need(range(a[0]));
        ++range(a[0]).begin;
        return Value();
    });
    b.add("pop_back", {K("Range")}, [need](Context&, Args a) {
        need(range(a[0]));
        --range(a[0]).end;
        return Value();
    });

    b.add("generate_range", {K("Number"), K("Number")}, [](Context& c, Args a) {
        Vector out;
        Number cur = a[0].num();
        const Number last = a[1].num();
        while (num_compare(NumOp::Le, cur, last)) {
            c.count_step(nullptr);
            if (out.size() >= 16'000'000) throw std::length_error("Range too large");
            out.push_back(Value::number(cur));
            Number next = num_convert(num_binary(NumOp::Add, cur, Number::make(1)), cur.kind);
            if (!num_compare(NumOp::Gt, next, cur)) break;  // wrapped around
            cur = next;
        }
        return make_vec(std::move(out));
    });
}

}  // namespace chai
