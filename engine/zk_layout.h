// Field-order checks for the records whose layout is part of the interface:
// static_assert(zk_fields_in_order({offsetof(R, a), offsetof(R, b), ...}));
#pragma once

#include <cstddef>
#include <initializer_list>

constexpr bool zk_fields_in_order(std::initializer_list<size_t> offsets) {
    const size_t* p = offsets.begin();
    for (size_t i = 1; i < offsets.size(); ++i)
        if (p[i] <= p[i - 1]) return false;
    return true;
}
