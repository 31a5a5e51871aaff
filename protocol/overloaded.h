#pragma once

namespace zelqon {

// One callable for each alternative of a variant, for std::visit: an
// alternative added to the variant and left out of the visit does not compile.
template <class... Handlers>
struct Overloaded : Handlers... {
  using Handlers::operator()...;
};

}  // namespace zelqon
