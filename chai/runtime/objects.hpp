// Script objects: instances of script classes and free-form Dynamic_Objects. Class and attribute
// names are the engine's name ids; an object remembers whose names they are.
#pragma once
#include <memory>
#include <utility>
#include <vector>

#include "chai/runtime/names.hpp"
#include "chai/runtime/value.hpp"

namespace chai {

struct DynObject {
    DynObject(std::shared_ptr<Names> n, uint32_t class_id) : names(std::move(n)), cls(class_id) {}

    std::shared_ptr<Names> names;
    uint32_t cls;
    std::vector<std::pair<uint32_t, Value>> attrs;  // in order of creation
    bool is_explicit = false;

    Value* find(uint32_t id) {
        for (auto& a : attrs)
            if (a.first == id) return &a.second;
        return nullptr;
    }
    // The attribute, created undefined if new.
    Value& slot(uint32_t id) {
        if (Value* v = find(id)) return *v;
        attrs.emplace_back(id, Value());
        return attrs.back().second;
    }
    const std::string& class_name() const { return names->name(cls); }
};

}  // namespace chai
