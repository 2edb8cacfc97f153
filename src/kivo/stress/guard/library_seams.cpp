#include "kivo/stress/guard.hpp"

namespace kivo::stress::guard {
namespace {

test_hooks::WriterOverride planted_writer;
test_hooks::ReaderOverride planted_reader;
test_hooks::ValidationOverride planted_validation;

}  // namespace

namespace test_hooks {
void set_writer_override(WriterOverride writer) { planted_writer = std::move(writer); }
void set_reader_override(ReaderOverride reader) { planted_reader = std::move(reader); }
void set_validation_override(ValidationOverride validation) {
  planted_validation = std::move(validation);
}
}  // namespace test_hooks

const test_hooks::WriterOverride& writer_override() { return planted_writer; }
const test_hooks::ReaderOverride& reader_override() { return planted_reader; }
const test_hooks::ValidationOverride& validation_override() { return planted_validation; }

}  // namespace kivo::stress::guard
