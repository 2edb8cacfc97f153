#pragma once

#include <expected>
#include <filesystem>
#include <string>

#include "kivo/element.hpp"
#include "kivo/error.hpp"

namespace kivo::stress {

/// The preset at `path`, read and parsed (`Io` or `XmlParse` on failure).
std::expected<Element, AppError> load_preset(const std::filesystem::path& path);

}  // namespace kivo::stress
