#pragma once

#include <string>
#include <string_view>

namespace kivo::stress::artifacts {

/// Shortest round-trip text of `value` in the case-file form (0.08, 1.0, 1e-6, 1.5e+16, null).
std::string json_float_text(double value);
/// `json` with every floating-point token rewritten by `json_float_text`; strings are untouched.
std::string rewrite_float_tokens(std::string_view json);

}  // namespace kivo::stress::artifacts
