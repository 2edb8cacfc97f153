#pragma once

#include <string>
#include <vector>

#include "kivo/stress/rng.hpp"

namespace kivo::stress::testing {

/// Passes every draw through to a `StressRng` and records it as one line, e.g. "gen_range 0 8".
class RecordingRng final : public Rng {
 public:
  explicit RecordingRng(std::uint64_t seed) : inner_(StressRng::seed_from_u64(seed)) {}

  std::uint32_t next_u32() override {
    log("next_u32");
    return inner_.next_u32();
  }
  std::uint64_t next_u64() override {
    log("next_u64");
    return inner_.next_u64();
  }
  std::uint64_t gen_range(std::uint64_t low, std::uint64_t high) override {
    log("gen_range " + std::to_string(low) + " " + std::to_string(high));
    return inner_.gen_range(low, high);
  }
  std::uint32_t gen_range_u32(std::uint32_t low, std::uint32_t high) override {
    log("gen_range_u32 " + std::to_string(low) + " " + std::to_string(high));
    return inner_.gen_range_u32(low, high);
  }
  double gen_range_f64(double low, double high) override {
    log("gen_range_f64 " + number(low) + " " + number(high));
    return inner_.gen_range_f64(low, high);
  }
  bool gen_bool(double p) override {
    log("gen_bool " + number(p));
    return inner_.gen_bool(p);
  }
  std::optional<std::size_t> choose_index(std::size_t length) override {
    log("choose_index " + std::to_string(length));
    return inner_.choose_index(length);
  }
  std::vector<std::size_t> sample(std::size_t n) override {
    log("sample " + std::to_string(n));
    return inner_.sample(n);
  }

  /// The draws made so far, oldest first.
  const std::vector<std::string>& draws() const { return draws_; }

 private:
  static std::string number(double value) {
    std::string text = std::to_string(value);
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
    return text;
  }
  void log(std::string line) { draws_.push_back(std::move(line)); }

  StressRng inner_;
  std::vector<std::string> draws_;
};

}  // namespace kivo::stress::testing
