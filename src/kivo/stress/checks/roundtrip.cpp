#include "kivo/stress/checks.hpp"
#include "kivo/stress/replay/fault_hook.hpp"
#include "kivo/validation.hpp"
#include "kivo/xml_utils.hpp"

namespace kivo::stress {
namespace {

replay::test_hooks::WriterOverride writer_override;

std::expected<std::string, WriteError> written_text(const Element& root) {
  if (writer_override) return writer_override(root);
  return xml_utils::write_xml_string(root);
}

}  // namespace

namespace replay::test_hooks {
void set_writer_override(WriterOverride writer) { writer_override = std::move(writer); }
}  // namespace replay::test_hooks

namespace checks {

Result<RoundTrip> roundtrip(const Element& root) {
  auto text = written_text(root);
  if (!text) return std::unexpected(Error::from_app(AppError::xml_write(std::move(text.error()))));
  auto reparsed = xml_utils::parse(*text);
  if (!reparsed) {
    return std::unexpected(Error::from_app(AppError::xml_parse(std::move(reparsed.error()))));
  }
  // The checks see the preset as a reader of its text would, not the tree in memory.
  if (auto structure = ensure_required_structure(*reparsed); !structure) {
    return std::unexpected(std::move(structure.error()));
  }
  std::vector<std::string> messages = validation::validate_doc(*reparsed);
  return RoundTrip{std::move(*text), std::move(*reparsed), std::move(messages)};
}

Result<std::vector<std::string>> roundtrip_parse_and_validate(const Element& root) {
  auto result = roundtrip(root);
  if (!result) return std::unexpected(std::move(result.error()));
  return std::move(result->messages);
}

}  // namespace checks
}  // namespace kivo::stress
