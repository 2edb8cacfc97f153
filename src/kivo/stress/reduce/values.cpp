#include "kivo/stress/reduce/values.hpp"

namespace kivo::stress::reduce::detail {
namespace {

bool is_number(const std::string& value) {
  std::size_t at = value.starts_with('-') ? 1 : 0;
  bool digits = false, point = false;
  for (; at < value.size(); ++at) {
    if (value[at] >= '0' && value[at] <= '9') {
      digits = true;
    } else if (value[at] == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  return digits;
}

// The first half of `value`, cut before a UTF-8 continuation byte never.
std::string first_half(const std::string& value) {
  std::size_t cut = value.size() / 2;
  while (cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80) --cut;
  return value.substr(0, cut);
}

}  // namespace

std::vector<std::string> shorter_values(const std::string& value) {
  if (is_number(value)) {
    std::vector<std::string> smaller;
    if (value != "0") smaller.emplace_back("0");
    if (value != "0" && value != "1") smaller.emplace_back("1");
    return smaller;
  }
  if (value.empty()) return {};
  std::vector<std::string> shorter{""};
  if (std::string half = first_half(value); !half.empty()) shorter.push_back(std::move(half));
  return shorter;
}

}  // namespace kivo::stress::reduce::detail
