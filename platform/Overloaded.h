// Lambdas gathered into one visitor for std::visit. A visit that leaves out
// an alternative does not compile, which is how closed sets of kinds make
// sure every place that handles them handles them all.
#pragma once

namespace platform {

template <class... Handlers>
struct Overloaded : Handlers... {
    using Handlers::operator()...;
};
template <class... Handlers>
Overloaded(Handlers...) -> Overloaded<Handlers...>;

}  // namespace platform
