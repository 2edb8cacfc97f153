#include "kivo/stress/campaign/progress.hpp"

#include <cmath>
#include <cstdio>

namespace kivo::stress::campaign {
namespace {

constexpr std::chrono::milliseconds kRedrawInterval{100};
// Erases from the cursor to the end of the line.
constexpr std::string_view kEraseToEnd = "\x1b[K";

std::string duration_text(double seconds) {
  char text[48];
  if (!std::isfinite(seconds) || seconds < 0) return "?";
  if (seconds < 60) {
    std::snprintf(text, sizeof text, "%.1fs", seconds);
  } else if (seconds < 3600) {
    const auto whole = static_cast<unsigned long long>(seconds);
    std::snprintf(text, sizeof text, "%llum%02llus", whole / 60, whole % 60);
  } else if (seconds < 1e9) {
    const auto whole = static_cast<unsigned long long>(seconds);
    std::snprintf(text, sizeof text, "%lluh%02llum", whole / 3600, whole / 60 % 60);
  } else {
    return "?";
  }
  return text;
}

}  // namespace

bool ProgressLine::due() const {
  return enabled_ && (!drawn_ || std::chrono::steady_clock::now() - last_ >= kRedrawInterval);
}

void ProgressLine::show(std::string_view text) {
  if (!enabled_) return;
  out_ << '\r' << text << kEraseToEnd << std::flush;
  drawn_ = true;
  last_ = std::chrono::steady_clock::now();
}

void ProgressLine::clear() {
  if (!enabled_ || !drawn_) return;
  out_ << '\r' << kEraseToEnd << std::flush;
  drawn_ = false;
}

std::string progress_text(std::string_view counts, double fraction, std::uint64_t ops,
                          std::chrono::duration<double> elapsed) {
  const double seconds = elapsed.count();
  char rate[32];
  std::snprintf(rate, sizeof rate, "%.0f", seconds > 0 ? static_cast<double>(ops) / seconds : 0.0);
  const double eta = fraction > 0 ? seconds * (1 - fraction) / fraction : -1;
  return std::string(counts) + " ops " + std::to_string(ops) + " (" + rate + " ops/s) elapsed " +
         duration_text(seconds) + " ETA " + duration_text(eta);
}

}  // namespace kivo::stress::campaign
