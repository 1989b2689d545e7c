#pragma once

#include "value.h"

#include <cstdint>

namespace qm5083::panels {

// IOBase: the base address the window stores for all panels. Empty until the first store; it
// counts as 0. Each store is numbered, so the input monitor can tell a new base from the one
// that made it fail, even when the value is the same.
class StoredBase
{
public:
    const convert::Value &value() const { return value_; }
    std::uint64_t generation() const { return generation_; }
    void store(const convert::Value &value)
    {
        value_ = value;
        ++generation_;
    }

private:
    convert::Value value_;
    std::uint64_t generation_ = 0;
};

} // namespace qm5083::panels
