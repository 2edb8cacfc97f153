#include <variant>

#include "kivo/stress/reduce.hpp"
#include "kivo/stress/replay.hpp"

namespace kivo::stress::reduce {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

bool ends_path(char c) { return c == ' ' || c == ':' || c == ',' || c == '\n' || c == '\''; }

// The end of the double-quoted text opening at `open`, backslash escapes included.
std::size_t closing_quote(std::string_view text, std::size_t open) {
  for (std::size_t at = open + 1; at < text.size(); ++at) {
    if (text[at] == '\\') {
      ++at;
    } else if (text[at] == '"') {
      return at;
    }
  }
  return text.size() - 1;
}

std::string operation_kind(const StressOperation& operation) {
  if (const auto* copy = std::get_if<StressOperation::Copy>(&operation.value)) {
    return "copy " + copy->source_kind + " (" + copy->collision_policy.value_or("autoRenameRemap") +
           ")";
  }
  const auto& mask = std::get<StressOperation::InputMask>(operation.value);
  return mask.allow_overwrite ? "paste input mask over one" : "paste input mask";
}

std::string expectation_kind(const ExpectedOutcome& expected) {
  if (std::holds_alternative<ExpectedOutcome::Success>(expected.value)) return "success";
  if (std::holds_alternative<ExpectedOutcome::Any>(expected.value)) return "any outcome";
  return "refusal containing " +
         message_shape(std::get<ExpectedOutcome::ErrorContains>(expected.value).fragment);
}

}  // namespace

std::string message_shape(std::string_view text) {
  std::string shape;
  for (std::size_t at = 0; at < text.size();) {
    const char c = text[at];
    if (c == '"') {
      shape += "\"*\"";
      at = closing_quote(text, at) + 1;
    } else if (c == '/' && (at == 0 || text[at - 1] == ' ')) {
      shape += "<path>";
      while (at < text.size() && !ends_path(text[at])) ++at;
    } else if (is_digit(c)) {
      shape += '#';
      while (at < text.size() && is_digit(text[at])) ++at;
    } else {
      shape += c;
      ++at;
    }
  }
  return shape;
}

// A fault keeps the shape of its text; a mismatch, what was expected and the shape of what came.
FailureSignature signature_of(const OperationTraceItem& failing) {
  const std::string outcome = message_shape(failing.outcome);
  if (replay::is_fault(failing.outcome)) return {operation_kind(failing.operation), outcome};
  return {operation_kind(failing.operation),
          "mismatch: expected " + expectation_kind(failing.expected) + ", observed " + outcome};
}

}  // namespace kivo::stress::reduce
