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
    std::vector<std::pair<uint32_t, Value>> attrs;  // in order of creation; grown by add() only
    bool is_explicit = false;
    // Bit id % 64 of every id ever added: most names asked for and missing (a method's) are
    // known missing without a search.
    uint64_t added = 0;

    Value* find(uint32_t id) {
        if (!(added >> (id & 63) & 1)) return nullptr;
        for (auto& a : attrs)
            if (a.first == id) return &a.second;
        return nullptr;
    }
    // The attribute, created undefined if new.
    Value& slot(uint32_t id) {
        if (Value* v = find(id)) return *v;
        return add(id, Value());
    }
    Value& add(uint32_t id, Value v) {
        added |= uint64_t{1} << (id & 63);
        attrs.emplace_back(id, std::move(v));
        return attrs.back().second;
    }
    const std::string& class_name() const { return names->name(cls); }
};

}  // namespace chai
