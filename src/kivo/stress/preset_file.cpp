#include "kivo/stress/preset_file.hpp"

#include "kivo/stress/text_file.hpp"
#include "kivo/xml_utils.hpp"

namespace kivo::stress {

std::expected<Element, AppError> load_preset(const std::filesystem::path& path) {
  auto text = read_utf8_file(path);
  if (!text) return std::unexpected(AppError::io(std::move(text.error())));
  auto root = xml_utils::parse(*text);
  if (!root) return std::unexpected(AppError::xml_parse(std::move(root.error())));
  return std::move(*root);
}

}  // namespace kivo::stress
