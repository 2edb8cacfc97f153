#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "kivo/stress/rng.hpp"

namespace kivo::stress::testing {

/// Answers every draw from a script and records it as one line, e.g. "gen_range 0 8".
/// Integers serve next_u32/next_u64/gen_range/choose_index, reals gen_range_f64, flags gen_bool;
/// a scripted value outside the requested range, or a missing one, fails the test.
class ScriptedRng final : public Rng {
 public:
  struct Script {
    std::deque<std::uint64_t> integers = {};
    std::deque<double> reals = {};
    std::deque<bool> flags = {};
  };

  explicit ScriptedRng(Script script) : script_(std::move(script)) {}

  std::uint32_t next_u32() override {
    log("next_u32");
    return static_cast<std::uint32_t>(take_integer());
  }
  std::uint64_t next_u64() override {
    log("next_u64");
    return take_integer();
  }
  std::uint64_t gen_range(std::uint64_t low, std::uint64_t high) override {
    log("gen_range " + std::to_string(low) + " " + std::to_string(high));
    return in_range(take_integer(), low, high);
  }
  std::uint32_t gen_range_u32(std::uint32_t low, std::uint32_t high) override {
    log("gen_range_u32 " + std::to_string(low) + " " + std::to_string(high));
    return static_cast<std::uint32_t>(in_range(take_integer(), low, high));
  }
  double gen_range_f64(double low, double high) override {
    log("gen_range_f64 " + number(low) + " " + number(high));
    if (script_.reals.empty()) {
      ADD_FAILURE() << "script has no real left";
      return low;
    }
    const double value = script_.reals.front();
    script_.reals.pop_front();
    EXPECT_TRUE(value >= low && value < high) << value;
    return value;
  }
  bool gen_bool(double p) override {
    log("gen_bool " + number(p));
    if (script_.flags.empty()) {
      ADD_FAILURE() << "script has no flag left";
      return false;
    }
    const bool value = script_.flags.front();
    script_.flags.pop_front();
    return value;
  }
  std::optional<std::size_t> choose_index(std::size_t length) override {
    log("choose_index " + std::to_string(length));
    if (length == 0) return std::nullopt;
    return static_cast<std::size_t>(in_range(take_integer(), 0, length));
  }
  std::vector<std::size_t> sample(std::size_t n) override {
    log("sample " + std::to_string(n));
    std::vector<std::size_t> order(n);
    for (std::size_t i = 0; i < n; ++i) order[i] = i;
    return order;
  }

  /// The draws made so far, oldest first.
  const std::vector<std::string>& draws() const { return draws_; }
  /// True when every scripted value was used.
  bool exhausted() const {
    return script_.integers.empty() && script_.reals.empty() && script_.flags.empty();
  }

 private:
  static std::string number(double value) {
    std::string text = std::to_string(value);
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
    return text;
  }
  std::uint64_t take_integer() {
    if (script_.integers.empty()) {
      ADD_FAILURE() << "script has no integer left";
      return 0;
    }
    const std::uint64_t value = script_.integers.front();
    script_.integers.pop_front();
    return value;
  }
  static std::uint64_t in_range(std::uint64_t value, std::uint64_t low, std::uint64_t high) {
    EXPECT_TRUE(value >= low && value < high) << value << " not in [" << low << ", " << high << ")";
    return value >= low && value < high ? value : low;
  }
  void log(std::string line) { draws_.push_back(std::move(line)); }

  Script script_;
  std::vector<std::string> draws_;
};

}  // namespace kivo::stress::testing
