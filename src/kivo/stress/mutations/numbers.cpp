#include <charconv>
#include <cmath>

#include "kivo/number_text.hpp"
#include "kivo/stress/mutations.hpp"

namespace kivo::stress::mutations {

std::optional<double> parse_attr_f64(const Element& element, std::string_view name) {
  const std::string* text = element.attr(name);
  if (text == nullptr) return std::nullopt;
  return parse_f64(*text);
}

std::string format_decimal(double value) {
  constexpr double kFloor = 0.0001;
  if (!std::isfinite(value)) return "0.0001";
  if (std::fabs(value) < kFloor) value = kFloor;
  // Fixed notation of the largest double has 309 integer digits; to_chars rounds exactly,
  // ties to even.
  char buffer[400];
  const auto [end, error] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
  std::string text(buffer, error == std::errc{} ? end : buffer);
  while (!text.empty() && text.back() == '0') text.pop_back();
  if (!text.empty() && text.back() == '.') text.pop_back();
  return text;
}

}  // namespace kivo::stress::mutations
