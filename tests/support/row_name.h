#pragma once

#include <string>

namespace qm5083::testing {

// Names each row of a table test by its name field: INSTANTIATE_TEST_SUITE_P(..., RowName {}).
struct RowName
{
    template<class Info>
    std::string operator()(const Info &info) const
    {
        return info.param.name;
    }
};

} // namespace qm5083::testing
