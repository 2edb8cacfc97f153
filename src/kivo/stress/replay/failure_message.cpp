#include <cstdio>

#include "kivo/stress/replay.hpp"

namespace kivo::stress::replay {
namespace {

// A double-quoted literal with backslash escapes, as failure messages show fragments.
std::string quoted_literal(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\0':
        out += "\\0";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
          char escape[12];
          std::snprintf(escape, sizeof escape, "\\u{%x}", static_cast<unsigned char>(c));
          out += escape;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

}  // namespace

std::string expectation_debug(const ExpectedOutcome& expected) {
  if (std::holds_alternative<ExpectedOutcome::Success>(expected.value)) return "Success";
  if (std::holds_alternative<ExpectedOutcome::Any>(expected.value)) return "Any";
  const auto& contains = std::get<ExpectedOutcome::ErrorContains>(expected.value);
  return "ErrorContains(" + quoted_literal(contains.fragment) + ")";
}

std::string derive_failure_message(std::uint64_t step, const ExpectedOutcome& expected,
                                   std::string_view observed) {
  if (is_fault(observed)) return std::string(observed);
  return "Outcome mismatch for operation at step " + std::to_string(step) +
         ". expected=" + expectation_debug(expected) + ", observed='" + std::string(observed) +
         "'.";
}

}  // namespace kivo::stress::replay
