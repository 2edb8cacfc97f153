#include "kivo/stress/replay/strict_checks.hpp"

#include <unordered_set>

#include "kivo/stress/oracle.hpp"

namespace kivo::stress::replay::detail {
namespace {

void gather_identifiers(const Element& element, std::unordered_set<std::string>* seen,
                        bool& repeated) {
  constexpr std::string_view kIdentifiers[] = {"uniqueId", "idHash"};
  for (std::size_t kind = 0; kind < 2; ++kind) {
    const std::string* value = element.attr(kIdentifiers[kind]);
    if (value && !seen[kind].insert(*value).second) repeated = true;
  }
  for (const XMLNode& node : element.children) {
    if (const Element* child = node.as_element()) gather_identifiers(*child, seen, repeated);
  }
}

}  // namespace

bool holds_an_identifier_twice(const Element& subtree) {
  std::unordered_set<std::string> seen[2];
  bool repeated = false;
  gather_identifiers(subtree, seen, repeated);
  return repeated;
}

namespace {

// A choice that depends on the operation alone, so that a replay makes it again.
std::uint64_t choice_of(const StressOperation& operation) {
  std::uint64_t hash = 14695981039346656037ULL;
  auto add = [&](std::string_view text) {
    for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ULL;
    hash = (hash ^ 0xFF) * 1099511628211ULL;
  };
  if (const auto* copy = std::get_if<StressOperation::Copy>(&operation.value)) {
    add(copy->source_kind);
    add(copy->source_unique_id);
    add(copy->target_screen_unique_id.value_or(""));
  } else {
    const auto& paste = std::get<StressOperation::InputMask>(operation.value);
    add(paste.source_slice_unique_id);
    add(paste.target_slice_unique_id);
  }
  return hash;
}

}  // namespace

std::optional<std::string> validation_difference(checks::RoundTrip& roundtrip,
                                                 const StressOperation& operation) {
  if (auto wrong = oracle::validation_difference(roundtrip.messages,
                                                 oracle::expected_validation(roundtrip.reread))) {
    return "validating the target: " + *wrong;
  }
  const std::uint64_t choice = choice_of(operation);
  oracle::apply_validation_probe(roundtrip.reread, choice);
  if (auto wrong = oracle::validation_difference(checks::library_validation(roundtrip.reread),
                                                 oracle::expected_validation(roundtrip.reread))) {
    return "validating the target with defects " + std::to_string(choice % 18) + ": " + *wrong;
  }
  return std::nullopt;
}

}  // namespace kivo::stress::replay::detail
