#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace kivo {

/// Decimal float (sign, digits, fraction, exponent, or inf/infinity/nan in any case), whole text.
std::optional<double> parse_f64(std::string_view text);
/// Unsigned decimal with an optional leading '+', at most 2^64-1, whole text.
std::optional<std::uint64_t> parse_u64(std::string_view text);

}  // namespace kivo
