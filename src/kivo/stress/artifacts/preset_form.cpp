#include "kivo/stress/artifacts.hpp"
#include "kivo/stress/checks.hpp"
#include "kivo/stress/independent.hpp"
#include "kivo/stress/oracle.hpp"
#include "kivo/stress/text_file.hpp"

namespace kivo::stress::artifacts {

// Strict cases are written in the fixed form by the harness's own writer, so that a case still
// reads back, and replays, when the library's writer is at fault.
Result<std::string> case_preset_text(const Element& root, bool strict) {
  if (strict) {
    auto text = oracle::fixed_form(root);
    if (!text) return std::unexpected(Error::from_app(AppError::xml_write({text.error()})));
    return std::move(*text);
  }
  auto text = checks::library_text(root);
  if (!text) return std::unexpected(Error::from_app(AppError::xml_write(text.error())));
  return std::move(*text);
}

// Strict presets are read by the independent reader, so they replay even when the library's
// reader misreads them, and the steps show it.
Result<Element> read_case_preset(std::string_view text, bool strict) {
  if (strict) {
    auto tree = independent::read_tree(text);
    if (!tree) return std::unexpected(Error(tree.error()));
    return std::move(*tree);
  }
  auto tree = checks::library_reading(text);
  if (!tree) return std::unexpected(Error::from_app(AppError::xml_parse(std::move(tree.error()))));
  return std::move(*tree);
}

namespace {

bool is_plain_file_name(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
}

}  // namespace

Result<Element> load_case_preset(const std::filesystem::path& directory, const std::string& name,
                                 bool strict) {
  if (!is_plain_file_name(name)) {
    return std::unexpected(Error("Replay case names preset file '" + name +
                                 "', which is not a plain file name in the case directory."));
  }
  const std::filesystem::path path = directory / name;
  auto text = read_utf8_file(path);
  if (!text) return with_context("Failed to parse " + path.string(), AppError::io(text.error()));
  auto tree = read_case_preset(*text, strict);
  if (!tree)
    return std::unexpected(std::move(tree.error()).context("Failed to parse " + path.string()));
  return tree;
}

}  // namespace kivo::stress::artifacts
