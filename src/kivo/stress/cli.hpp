#pragma once

#include <atomic>
#include <ostream>
#include <string>
#include <vector>

#include "kivo/stress/error.hpp"

namespace kivo::stress {

/// Runs the program for `argv` (program name first); every line goes to `err`.
Result<void> cli_main(const std::vector<std::string>& argv, std::ostream& err);

/// What the program's entry knows about its process.
struct ProgramControl {
  /// Raised (by a signal handler) to stop a run or campaign between steps.
  const std::atomic<bool>* stop = nullptr;
  /// The signal behind `stop`, which sets the exit status 128 + signal.
  const std::atomic<int>* stop_signal = nullptr;
  /// Whether `err` is a terminal, which alone allows the progress line.
  bool err_is_terminal = false;
};

/// The whole program: `cli_main`'s work, errors printed as "kivo_stress failed: " and the chain;
/// returns the exit status (0, 1 after an error or a failing campaign seed, 128 + signal when
/// stopped).
int program_main(const std::vector<std::string>& argv, std::ostream& err,
                 const ProgramControl& control);

}  // namespace kivo::stress
