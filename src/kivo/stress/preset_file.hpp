#pragma once

#include <expected>
#include <filesystem>
#include <optional>
#include <string>

#include "kivo/element.hpp"
#include "kivo/error.hpp"

namespace kivo::stress {

/// The preset at `path`, read and parsed (`Io` or `XmlParse` on failure).
std::expected<Element, AppError> load_preset(const std::filesystem::path& path);

/// A preset with, when it was asked for, the first node the independent reader reads otherwise.
struct CheckedPreset {
  Element root;
  std::optional<std::string> disagreement;
};
/// As `load_preset`; with `cross_check`, the text is also read by the independent reader.
std::expected<CheckedPreset, AppError> load_preset_checked(const std::filesystem::path& path,
                                                           bool cross_check);

}  // namespace kivo::stress
