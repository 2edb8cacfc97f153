#include "kivo/stress/checks.hpp"

namespace kivo::stress::checks {

Result<RoundTrip> roundtrip(const Element& root) {
  auto text = library_text(root);
  if (!text) return std::unexpected(Error::from_app(AppError::xml_write(std::move(text.error()))));
  auto reparsed = library_reading(*text);
  if (!reparsed) {
    return std::unexpected(Error::from_app(AppError::xml_parse(std::move(reparsed.error()))));
  }
  // The checks see the preset as a reader of its text would, not the tree in memory.
  if (auto structure = ensure_required_structure(*reparsed); !structure) {
    return std::unexpected(std::move(structure.error()));
  }
  std::vector<std::string> messages = library_validation(*reparsed);
  return RoundTrip{std::move(*text), std::move(*reparsed), std::move(messages)};
}

Result<std::vector<std::string>> roundtrip_parse_and_validate(const Element& root) {
  auto result = roundtrip(root);
  if (!result) return std::unexpected(std::move(result.error()));
  return std::move(result->messages);
}

}  // namespace kivo::stress::checks
