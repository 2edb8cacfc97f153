#pragma once

// The harness's random draws taken from the fuzzer's bytes, so that the situation builders and the
// strict request builders explore what the input chooses instead of what a seed chooses.

#include <fuzzer/FuzzedDataProvider.h>

#include "kivo/stress/rng.hpp"

namespace kivo::fuzz {

/// A `stress::Rng` whose every draw consumes bytes of `input`; once they run out, each draw gives
/// its lowest value (and a chance above zero is taken).
class FuzzRng final : public stress::Rng {
 public:
  /// Draws from `input`, which must outlive the generator.
  explicit FuzzRng(FuzzedDataProvider& input) : input_(input) {}

  std::uint32_t next_u32() override;
  std::uint64_t next_u64() override;
  std::uint64_t gen_range(std::uint64_t low, std::uint64_t high) override;
  std::uint32_t gen_range_u32(std::uint32_t low, std::uint32_t high) override;
  double gen_range_f64(double low, double high) override;
  bool gen_bool(double p) override;
  std::optional<std::size_t> choose_index(std::size_t length) override;
  std::vector<std::size_t> sample(std::size_t n) override;

 private:
  FuzzedDataProvider& input_;
};

}  // namespace kivo::fuzz
