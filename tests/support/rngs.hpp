#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <sstream>
#include <string>
#include <vector>

#include "kivo/stress/rng.hpp"

namespace kivo::test {

/// Records every draw as one line, e.g. "gen_range 0 8", and answers it with `Answer`.
template <class Answer>
class LoggedRng final : public stress::Rng {
 public:
  explicit LoggedRng(Answer answer) : answer_(std::move(answer)) {}

  std::uint32_t next_u32() override { return log("next_u32"), answer_.next_u32(); }
  std::uint64_t next_u64() override { return log("next_u64"), answer_.next_u64(); }
  std::uint64_t gen_range(std::uint64_t low, std::uint64_t high) override {
    return log("gen_range", low, high), answer_.gen_range(low, high);
  }
  std::uint32_t gen_range_u32(std::uint32_t low, std::uint32_t high) override {
    return log("gen_range_u32", low, high), answer_.gen_range_u32(low, high);
  }
  double gen_range_f64(double low, double high) override {
    return log("gen_range_f64", low, high), answer_.gen_range_f64(low, high);
  }
  bool gen_bool(double p) override { return log("gen_bool", p), answer_.gen_bool(p); }
  std::optional<std::size_t> choose_index(std::size_t length) override {
    return log("choose_index", length), answer_.choose_index(length);
  }
  std::vector<std::size_t> sample(std::size_t n) override {
    return log("sample", n), answer_.sample(n);
  }

  /// The draws made so far, oldest first.
  const std::vector<std::string>& draws() const { return draws_; }
  /// The draws joined by '|'.
  std::string trail() const {
    std::string text;
    for (const auto& draw : draws_) text += (text.empty() ? "" : "|") + draw;
    return text;
  }
  bool exhausted() const { return answer_.exhausted(); }

 private:
  template <class... Values>
  void log(const char* what, Values... values) {
    std::ostringstream line;
    line << what;
    ((line << ' ' << values), ...);
    draws_.push_back(line.str());
  }

  Answer answer_;
  std::vector<std::string> draws_;
};

/// Passes every draw through to a seeded `StressRng`.
struct SeededAnswers {
  SeededAnswers(std::uint64_t seed) : rng(stress::StressRng::seed_from_u64(seed)) {}
  std::uint32_t next_u32() { return rng.next_u32(); }
  std::uint64_t next_u64() { return rng.next_u64(); }
  std::uint64_t gen_range(std::uint64_t low, std::uint64_t high) {
    return rng.gen_range(low, high);
  }
  std::uint32_t gen_range_u32(std::uint32_t low, std::uint32_t high) {
    return rng.gen_range_u32(low, high);
  }
  double gen_range_f64(double low, double high) { return rng.gen_range_f64(low, high); }
  bool gen_bool(double p) { return rng.gen_bool(p); }
  std::optional<std::size_t> choose_index(std::size_t length) { return rng.choose_index(length); }
  std::vector<std::size_t> sample(std::size_t n) { return rng.sample(n); }
  bool exhausted() const { return true; }
  stress::StressRng rng;
};

/// Answers from a script: integers serve next_u32/next_u64/gen_range/choose_index, reals
/// gen_range_f64, flags gen_bool; a value outside the requested range, or a missing one, fails.
struct Script {
  std::deque<std::uint64_t> integers = {};
  std::deque<double> reals = {};
  std::deque<bool> flags = {};

  std::uint32_t next_u32() { return static_cast<std::uint32_t>(take(integers, "integer")); }
  std::uint64_t next_u64() { return take(integers, "integer"); }
  std::uint64_t gen_range(std::uint64_t low, std::uint64_t high) {
    return in_range(take(integers, "integer"), low, high);
  }
  std::uint32_t gen_range_u32(std::uint32_t low, std::uint32_t high) {
    return static_cast<std::uint32_t>(in_range(take(integers, "integer"), low, high));
  }
  double gen_range_f64(double low, double high) {
    const double value = take(reals, "real");
    EXPECT_TRUE(value >= low && value < high) << value;
    return value;
  }
  bool gen_bool(double) { return take(flags, "flag"); }
  std::optional<std::size_t> choose_index(std::size_t length) {
    if (length == 0) return std::nullopt;
    return static_cast<std::size_t>(in_range(take(integers, "integer"), 0, length));
  }
  std::vector<std::size_t> sample(std::size_t n) {
    std::vector<std::size_t> order(n);
    for (std::size_t i = 0; i < n; ++i) order[i] = i;
    return order;
  }
  bool exhausted() const { return integers.empty() && reals.empty() && flags.empty(); }

 private:
  template <class T>
  static T take(std::deque<T>& values, const char* what) {
    if (values.empty()) {
      ADD_FAILURE() << "script has no " << what << " left";
      return T{};
    }
    const T value = values.front();
    values.pop_front();
    return value;
  }
  static std::uint64_t in_range(std::uint64_t value, std::uint64_t low, std::uint64_t high) {
    EXPECT_TRUE(value >= low && value < high) << value << " not in [" << low << ", " << high << ")";
    return value >= low && value < high ? value : low;
  }
};

using RecordingRng = LoggedRng<SeededAnswers>;
using ScriptedRng = LoggedRng<Script>;

}  // namespace kivo::test
