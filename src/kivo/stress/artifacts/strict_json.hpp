#pragma once

#include <cstddef>
#include <string_view>

#include <nlohmann/json.hpp>

#include "kivo/stress/error.hpp"

namespace kivo::stress::artifacts {

/// Deepest nesting of objects and arrays a case file may use.
inline constexpr std::size_t kMaxJsonDepth = 128;

/// Parses `text` as one JSON value; a key given twice in an object and nesting deeper than
/// `kMaxJsonDepth` are errors.
Result<nlohmann::json> parse_strict_json(std::string_view text);

}  // namespace kivo::stress::artifacts
