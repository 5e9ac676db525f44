// The library functions that call and method sites run directly (see Intrinsic): number
// conversions, sizes and appending to a Vector. One implementation serves both ways.
#include "chai/library/library.hpp"

namespace chai {

Value run_intrinsic(Intrinsic id, NumKind to, Args a) {
    switch (id) {
    case Intrinsic::Convert: {
        const Number n = a[0].num();
        // A number of the kind asked for converts to itself.
        return make_num(n.kind == to ? n : num_convert(n, to));
    }
    case Intrinsic::VectorSize: return num_value(static_cast<uint64_t>(a[0].vec()->size()));
    case Intrinsic::StringSize: return num_value(static_cast<uint64_t>(a[0].str()->size()));
    case Intrinsic::MapSize: return num_value(static_cast<uint64_t>(a[0].map()->size()));
    case Intrinsic::VectorPushBack: {
        Vector* v = changeable_vec(a[0]);
        if (!v) return declined();
        v->push_back(clone(a[1]));
        return Value();
    }
    case Intrinsic::None: break;
    }
    return declined();
}

void LibBuilder::add_intrinsic(const std::string& name, std::vector<TypeKey> params, Intrinsic id, NumKind to) {
    auto f = std::make_shared<NativeFn>();
    f->name = name;
    f->arity = static_cast<int>(params.size());
    f->params = std::move(params);
    f->intrinsic = id;
    f->converts_to = to;
    f->fn = [id, to](Context&, Args a) { return run_intrinsic(id, to, a); };
    append(name, std::move(f));
}

}  // namespace chai
