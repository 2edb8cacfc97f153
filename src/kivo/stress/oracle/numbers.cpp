#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "kivo/stress/oracle/detail.hpp"

namespace kivo::stress::oracle::detail {
namespace {

bool same_word(std::string_view text, std::string_view word) {
  if (text.size() != word.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != word[i]) return false;
  }
  return true;
}

bool digit(char c) { return c >= '0' && c <= '9'; }

// digits [. digits] [e [sign] digits], with at least one mantissa digit.
bool decimal_literal(std::string_view text) {
  std::size_t i = 0, mantissa = 0;
  for (; i < text.size() && digit(text[i]); ++i) ++mantissa;
  if (i < text.size() && text[i] == '.') {
    for (++i; i < text.size() && digit(text[i]); ++i) ++mantissa;
  }
  if (mantissa == 0) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    const std::size_t start = i;
    while (i < text.size() && digit(text[i])) ++i;
    if (i == start) return false;
  }
  return i == text.size();
}

std::string special(double value) {
  if (std::isnan(value)) return "NaN";
  return value > 0 ? "inf" : "-inf";
}

std::string printed(double value, const char* format) {
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

}  // namespace

std::optional<double> read_real(std::string_view text) {
  double sign = 1;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    if (text.front() == '-') sign = -1;
    text.remove_prefix(1);
  }
  if (same_word(text, "inf") || same_word(text, "infinity")) {
    return sign * std::numeric_limits<double>::infinity();
  }
  if (same_word(text, "nan")) return std::numeric_limits<double>::quiet_NaN();
  if (!decimal_literal(text)) return std::nullopt;
  double value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error == std::errc::result_out_of_range)
    value = std::strtod(std::string(text).c_str(), nullptr);
  return sign * value;
}

std::string six_decimals(double value) {
  if (!std::isfinite(value)) return special(value);
  std::string text = printed(value, "%.6f");
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text == "-0" ? "0" : text;
}

std::string three_decimals(double value) {
  if (!std::isfinite(value)) return special(value);
  return printed(value, "%.3f");
}

}  // namespace kivo::stress::oracle::detail
