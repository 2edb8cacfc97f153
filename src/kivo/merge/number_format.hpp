#pragma once

#include <string>

namespace kivo::merge::detail {

/// `value` with exactly three digits after the point, rounded from its exact binary value;
/// "NaN", "inf" and "-inf" for the special values.
std::string format_fixed3(double value);

}  // namespace kivo::merge::detail
