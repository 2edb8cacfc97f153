#include "kivo/stress/campaign/signals.hpp"

#include <csignal>

namespace kivo::stress::campaign {
namespace {

// Lock-free atomics are the only state a handler may touch.
std::atomic<bool> stop_flag{false};
std::atomic<int> stop_number{0};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

void on_stop_signal(int signal) {
  int none = 0;
  stop_number.compare_exchange_strong(none, signal);
  stop_flag.store(true);
}

}  // namespace

void install_stop_handlers() {
  struct sigaction action {};
  action.sa_handler = on_stop_signal;
  sigemptyset(&action.sa_mask);
  // Restarted system calls keep half-done writes of result lines and case files whole.
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

const std::atomic<bool>& stop_requested() { return stop_flag; }

const std::atomic<int>& stop_signal() { return stop_number; }

std::string signal_name(int signal) {
  if (signal == SIGINT) return "SIGINT";
  if (signal == SIGTERM) return "SIGTERM";
  return "signal " + std::to_string(signal);
}

}  // namespace kivo::stress::campaign
