// What the engine knows of a C++ type whose objects scripts hold: one description per type for
// the whole process, made on first use and never changed.
#pragma once
#include <cstdint>
#include <memory>
#include <type_traits>
#include <typeinfo>

namespace chai {

struct HostTypeInfo {
    const std::type_info* type = nullptr;
    uint32_t id = 0;  // small and distinct per type: call sites remember argument types by it
    // Copies an object for clones and declarations; null when the type cannot be copied.
    std::shared_ptr<void> (*copy)(const void*) = nullptr;
};

uint32_t next_host_type_id();

template <class D> std::shared_ptr<void> copy_host_object(const void* p) {
    return std::make_shared<D>(*static_cast<const D*>(p));
}

template <class T> const HostTypeInfo& host_type() {
    using D = std::remove_cv_t<T>;
    static const HostTypeInfo info = [] {
        HostTypeInfo i;
        i.type = &typeid(D);
        i.id = next_host_type_id();
        if constexpr (std::is_copy_constructible_v<D> && !std::is_abstract_v<D>) i.copy = &copy_host_object<D>;
        return i;
    }();
    return info;
}

}  // namespace chai
