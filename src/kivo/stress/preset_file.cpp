#include "kivo/stress/preset_file.hpp"

#include "kivo/stress/checks.hpp"
#include "kivo/stress/independent.hpp"
#include "kivo/stress/text_file.hpp"
#include "kivo/xml_utils.hpp"

namespace kivo::stress {

std::expected<Element, AppError> load_preset(const std::filesystem::path& path) {
  auto checked = load_preset_checked(path, false);
  if (!checked) return std::unexpected(std::move(checked.error()));
  return std::move(checked->root);
}

std::expected<CheckedPreset, AppError> load_preset_checked(const std::filesystem::path& path,
                                                           bool cross_check) {
  auto text = read_utf8_file(path);
  if (!text) return std::unexpected(AppError::io(std::move(text.error())));
  auto root = checks::library_reading(*text);
  if (!root) return std::unexpected(AppError::xml_parse(std::move(root.error())));
  CheckedPreset preset{std::move(*root), std::nullopt};
  if (cross_check) preset.disagreement = independent::reading_difference(*text, preset.root);
  return preset;
}

}  // namespace kivo::stress
