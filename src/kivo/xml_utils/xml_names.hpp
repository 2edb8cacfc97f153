#pragma once

// Which names the writer may put into XML text.

#include <string_view>

namespace kivo::xml_utils::detail {

/// True when `name` is a name without colon (XML 1.0 fifth edition) that the parser reads back.
bool is_ncname(std::string_view name);

}  // namespace kivo::xml_utils::detail
