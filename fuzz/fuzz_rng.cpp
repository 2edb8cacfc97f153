#include "fuzz_rng.hpp"

#include <numeric>
#include <utility>

namespace kivo::fuzz {

std::uint32_t FuzzRng::next_u32() { return input_.ConsumeIntegral<std::uint32_t>(); }

std::uint64_t FuzzRng::next_u64() { return input_.ConsumeIntegral<std::uint64_t>(); }

std::uint64_t FuzzRng::gen_range(std::uint64_t low, std::uint64_t high) {
  return input_.ConsumeIntegralInRange<std::uint64_t>(low, high - 1);
}

std::uint32_t FuzzRng::gen_range_u32(std::uint32_t low, std::uint32_t high) {
  return input_.ConsumeIntegralInRange<std::uint32_t>(low, high - 1);
}

double FuzzRng::gen_range_f64(double low, double high) {
  // Two bytes give the builders' ranges enough steps while keeping inputs short.
  const double unit = input_.ConsumeIntegral<std::uint16_t>() / 65536.0;
  const double value = low + (high - low) * unit;
  return value < high ? value : low;
}

bool FuzzRng::gen_bool(double p) { return input_.ConsumeIntegral<std::uint8_t>() / 256.0 < p; }

std::optional<std::size_t> FuzzRng::choose_index(std::size_t length) {
  if (length == 0) return std::nullopt;
  return input_.ConsumeIntegralInRange<std::size_t>(0, length - 1);
}

std::vector<std::size_t> FuzzRng::sample(std::size_t n) {
  std::vector<std::size_t> order(n);
  std::iota(order.begin(), order.end(), std::size_t{0});
  shuffle(order);
  return order;
}

}  // namespace kivo::fuzz
