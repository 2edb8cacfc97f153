#include <array>
#include <charconv>
#include <cmath>

#include "kivo/merge.hpp"
#include "kivo/merge/number_format.hpp"

namespace kivo::merge {
namespace {

// Fixed-point text of a finite value. std::to_chars with a precision rounds the exact binary
// value (ties to even), unlike printing through a shorter decimal form first.
std::string fixed_digits(double value, int precision) {
  // Largest finite double: 309 integer digits, sign, point and the fraction fit.
  std::array<char, 400> buffer{};
  auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                    std::chars_format::fixed, precision);
  if (error != std::errc()) return "NaN";  // Unreachable for finite values and this buffer.
  return std::string(buffer.data(), end);
}

// The words the engine writes for values without digits; nullopt for finite values.
std::optional<std::string> special_word(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  return std::nullopt;
}

}  // namespace

std::string format_decimal(double value) {
  if (auto word = special_word(value)) return *word;
  std::string text = fixed_digits(value, 6);
  while (!text.empty() && text.back() == '0') text.pop_back();
  if (!text.empty() && text.back() == '.') text.pop_back();
  if (text.empty() || text == "-0") return "0";
  return text;
}

namespace detail {

std::string format_fixed3(double value) {
  if (auto word = special_word(value)) return *word;
  return fixed_digits(value, 3);
}

}  // namespace detail
}  // namespace kivo::merge
