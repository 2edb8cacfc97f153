#pragma once

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

namespace kivo::stress::campaign {

/// One status line rewritten in place on a terminal. Disabled, it writes nothing at all, so
/// captured output stays exactly the result lines.
class ProgressLine {
 public:
  ProgressLine(std::ostream& out, bool enabled) : out_(out), enabled_(enabled) {}
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;
  ~ProgressLine() { clear(); }

  /// Whether a redraw is worth making now: enabled, and the first one or a while after the last.
  bool due() const;
  /// Replaces the line with `text`.
  void show(std::string_view text);
  /// Erases the line, so that the next output starts on a clean line.
  void clear();

 private:
  std::ostream& out_;
  bool enabled_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point last_{};
};

/// "<counts> ops <n> (<r> ops/s) elapsed <t> ETA <t>", `fraction` being the share done.
std::string progress_text(std::string_view counts, double fraction, std::uint64_t ops,
                          std::chrono::duration<double> elapsed);

}  // namespace kivo::stress::campaign
