#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "kivo/stress/error.hpp"

namespace kivo::stress {

/// Runs the program for `argv` (program name first); every line goes to `err`.
Result<void> cli_main(const std::vector<std::string>& argv, std::ostream& err);

}  // namespace kivo::stress
