// Library functions whose call and method sites may run them directly.
#include "chai/library/intrinsics.hpp"

namespace chai {

Value join_strings(const std::string& l, const std::string& r) {
    check_string_size(l.size() + r.size());
    std::string s;
    s.reserve(l.size() + r.size());
    s.append(l).append(r);
    return make_str(std::move(s));
}

void LibBuilder::add_intrinsic(const std::string& name, std::vector<TypeKey> params, Intrinsic id, NumKind to) {
    auto f = std::make_shared<NativeFn>();
    f->name = name;
    f->arity = static_cast<int>(params.size());
    f->params = std::move(params);
    f->intrinsic = id;
    f->converts_to = to;
    f->result = result_of(name);
    f->fn = [id, to](Context& c, Args a) { return run_intrinsic(c, id, to, a); };
    append(name, std::move(f));
}

}  // namespace chai
