#pragma once

namespace qm5083 {

// One callable per alternative of a variant, for std::visit: an alternative without its own
// callable does not compile.
template<class... Actions>
struct EachKind : Actions...
{
    using Actions::operator()...;
};
template<class... Actions>
EachKind(Actions...) -> EachKind<Actions...>;

} // namespace qm5083
