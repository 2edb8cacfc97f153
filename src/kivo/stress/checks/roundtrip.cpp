#include "kivo/stress/checks.hpp"
#include "kivo/validation.hpp"
#include "kivo/xml_utils.hpp"

namespace kivo::stress::checks {

Result<std::vector<std::string>> roundtrip_parse_and_validate(const Element& root) {
  auto text = xml_utils::write_xml_string(root);
  if (!text) return std::unexpected(Error::from_app(AppError::xml_write(std::move(text.error()))));
  auto reparsed = xml_utils::parse(*text);
  if (!reparsed) {
    return std::unexpected(Error::from_app(AppError::xml_parse(std::move(reparsed.error()))));
  }
  // The checks see the preset as a reader of its text would, not the tree in memory.
  if (auto structure = ensure_required_structure(*reparsed); !structure) {
    return std::unexpected(std::move(structure.error()));
  }
  return validation::validate_doc(*reparsed);
}

}  // namespace kivo::stress::checks
