#pragma once

#include <string>
#include <vector>

#include "kivo/element.hpp"

namespace kivo::validation {

/// Every structural and identifier problem of the preset, in order; empty when valid.
std::vector<std::string> validate_doc(const Element& root);

}  // namespace kivo::validation
