// Library functions whose call and method sites may run them directly.
#include "chai/library/intrinsics.hpp"

#include <utility>

namespace chai {

Value join_strings(const std::string& l, const std::string& r) {
    check_string_size(l.size() + r.size());
    std::string s;
    s.reserve(l.size() + r.size());
    s.append(l).append(r);
    return make_str(std::move(s));
}

Value join_strings_into(Value& l, Value& r) {
    std::string& a = *l.str();
    std::string& b = *r.str();
    check_string_size(a.size() + b.size());
    if (sole_fresh_string(l)) {
        a.append(b);
        return std::move(l);
    }
    b.insert(0, a);
    return std::move(r);
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
