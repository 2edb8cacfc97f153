// The library's writer, reader and validation as the harness calls them, each behind a test seam
// that lets the census plant a fault.
#include "kivo/stress/checks.hpp"
#include "kivo/stress/replay/fault_hook.hpp"
#include "kivo/validation.hpp"
#include "kivo/xml_utils.hpp"

namespace kivo::stress {
namespace {

replay::test_hooks::WriterOverride writer_override;
replay::test_hooks::ReaderOverride reader_override;
replay::test_hooks::ValidationOverride validation_override;

}  // namespace

namespace replay::test_hooks {
void set_writer_override(WriterOverride writer) { writer_override = std::move(writer); }
void set_reader_override(ReaderOverride reader) { reader_override = std::move(reader); }
void set_validation_override(ValidationOverride validation) {
  validation_override = std::move(validation);
}
}  // namespace replay::test_hooks

namespace checks {

std::expected<std::string, WriteError> library_text(const Element& root) {
  if (writer_override) return writer_override(root);
  return xml_utils::write_xml_string(root);
}

std::expected<Element, ParseError> library_reading(std::string_view text) {
  if (reader_override) return reader_override(text);
  return xml_utils::parse(text);
}

std::vector<std::string> library_validation(const Element& root) {
  if (validation_override) return validation_override(root);
  return validation::validate_doc(root);
}

}  // namespace checks
}  // namespace kivo::stress
