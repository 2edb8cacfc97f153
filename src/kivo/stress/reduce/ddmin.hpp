#pragma once

#include <cstddef>
#include <functional>
#include <vector>

namespace kivo::stress::reduce::detail {

/// Which of `count` units to keep, by delta debugging: `still_fails(kept)` tells whether a
/// subset (ascending positions) keeps the failure. Every single unit left has been tried alone.
std::vector<std::size_t> ddmin(
    std::size_t count, const std::function<bool(const std::vector<std::size_t>&)>& still_fails);

}  // namespace kivo::stress::reduce::detail
