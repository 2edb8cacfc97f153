// The library's writer, reader and validation as the harness calls them; a test may have planted
// a fault in any of them.
#include "kivo/stress/checks.hpp"
#include "kivo/stress/guard.hpp"
#include "kivo/validation.hpp"
#include "kivo/xml_utils.hpp"

namespace kivo::stress::checks {

std::expected<std::string, WriteError> library_text(const Element& root) {
  if (const auto& planted = guard::writer_override()) return planted(root);
  return xml_utils::write_xml_string(root);
}

std::expected<Element, ParseError> library_reading(std::string_view text) {
  if (const auto& planted = guard::reader_override()) return planted(text);
  return xml_utils::parse(text);
}

std::vector<std::string> library_validation(const Element& root) {
  if (const auto& planted = guard::validation_override()) return planted(root);
  return validation::validate_doc(root);
}

}  // namespace kivo::stress::checks
