#pragma once

#include <atomic>
#include <string>

namespace kivo::stress::campaign {

/// Makes SIGINT and SIGTERM only raise the stop flag, so a run or campaign can end between steps
/// with its finished results printed. Meant for the program's entry only: library callers keep
/// the default handlers.
void install_stop_handlers();
/// Raised by the first SIGINT or SIGTERM after `install_stop_handlers`.
const std::atomic<bool>& stop_requested();
/// The signal that raised the stop flag, or 0.
const std::atomic<int>& stop_signal();
/// "SIGINT", "SIGTERM", or "signal <n>".
std::string signal_name(int signal);

}  // namespace kivo::stress::campaign
