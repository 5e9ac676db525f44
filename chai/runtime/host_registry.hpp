// The C++ types an engine knows by name, their base classes and the conversions into them.
// Each engine has its own; the library's types are named in a shared, read-only one.
#pragma once
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>

#include "chai/runtime/callable.hpp"

namespace chai {

class Context;

// Turns a script value into a C++ object of one type (containers, user conversions).
struct HostConversion {
    std::function<bool(const Value&)> accepts;  // cheap shape test, used by dispatch
    // Null when the value does not convert after all.
    std::function<std::shared_ptr<void>(Context&, const Value&)> convert;
};

using Upcast = void* (*)(void*);

class HostRegistry {
public:
    explicit HostRegistry(const HostRegistry* shared = nullptr) : shared_(shared) {}

    void name_type(const HostTypeInfo& t, const std::string& name);
    // The name given with user_type (the C++ name when there is none).
    std::string name_of(const HostTypeInfo& t) const;
    // The parameter type a type name stands for, or null.
    const TypeKey* type_named(const std::string& name) const;
    const std::map<std::string, TypeKey>& named() const { return keys_; }

    void add_base(const HostTypeInfo& derived, const HostTypeInfo& base, Upcast up) {
        bases_[{derived.id, base.id}] = up;
    }
    Upcast base_cast(const HostTypeInfo& from, const HostTypeInfo& to) const {
        if (bases_.empty()) return nullptr;
        auto it = bases_.find({from.id, to.id});
        return it == bases_.end() ? nullptr : it->second;
    }

    void add_conversion(const HostTypeInfo& to, HostConversion c) { conversions_.emplace(to.id, std::move(c)); }
    const HostConversion* conversion_to(const HostTypeInfo& to, const Value& v) const {
        if (conversions_.empty()) return nullptr;
        auto [it, end] = conversions_.equal_range(to.id);
        for (; it != end; ++it)
            if (it->second.accepts(v)) return &it->second;
        return nullptr;
    }

private:
    const HostRegistry* shared_;
    std::map<std::string, TypeKey> keys_;
    std::unordered_map<uint32_t, std::string> names_;
    std::map<std::pair<uint32_t, uint32_t>, Upcast> bases_;
    std::unordered_multimap<uint32_t, HostConversion> conversions_;
};

// Key of a host parameter type, named as the registry names it.
TypeKey host_key(const HostRegistry& r, const HostTypeInfo& t);

}  // namespace chai
