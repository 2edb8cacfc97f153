#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace kivo::stress {

/// The draws the harness makes; virtual so that tests can record every draw.
class Rng {
 public:
  virtual ~Rng() = default;

  /// Next 32 bits of the stream.
  virtual std::uint32_t next_u32() = 0;
  /// Next 64 bits of the stream.
  virtual std::uint64_t next_u64() = 0;
  /// Uniform integer in [low, high) from 64-bit outputs, without modulo bias; low < high.
  virtual std::uint64_t gen_range(std::uint64_t low, std::uint64_t high) = 0;
  /// Uniform integer in [low, high) from 32-bit outputs, without modulo bias; low < high.
  virtual std::uint32_t gen_range_u32(std::uint32_t low, std::uint32_t high) = 0;
  /// Uniform real in [low, high).
  virtual double gen_range_f64(double low, double high) = 0;
  /// True with probability `p` (one draw whatever `p` is).
  virtual bool gen_bool(double p) = 0;
  /// Uniform index into a sequence of `length`; none (and no draw) when it is empty.
  virtual std::optional<std::size_t> choose_index(std::size_t length) = 0;
  /// A uniform random permutation of 0..n-1.
  virtual std::vector<std::size_t> sample(std::size_t n) = 0;

  /// A uniform element of `items`, or nullptr (and no draw) when it is empty.
  template <class T>
  const T* choose(const std::vector<T>& items) {
    auto index = choose_index(items.size());
    return index ? &items[*index] : nullptr;
  }
  /// Puts `items` in a uniform random order.
  template <class T>
  void shuffle(std::vector<T>& items) {
    for (std::size_t i = items.size(); i > 1; --i) {
      std::swap(items[i - 1], items[gen_range(0, i)]);
    }
  }
};

/// ChaCha12 stream generator seeded from 64 bits; identical output on every platform.
class StressRng final : public Rng {
 public:
  /// The generator for `seed` (key expansion documented in rng.cpp).
  static StressRng seed_from_u64(std::uint64_t seed);

  std::uint32_t next_u32() override;
  std::uint64_t next_u64() override;
  std::uint64_t gen_range(std::uint64_t low, std::uint64_t high) override;
  std::uint32_t gen_range_u32(std::uint32_t low, std::uint32_t high) override;
  double gen_range_f64(double low, double high) override;
  bool gen_bool(double p) override;
  std::optional<std::size_t> choose_index(std::size_t length) override;
  std::vector<std::size_t> sample(std::size_t n) override;

 private:
  explicit StressRng(const std::array<std::uint32_t, 8>& key);
  void refill();

  std::array<std::uint32_t, 16> state_{};
  std::array<std::uint32_t, 16> block_{};
  std::size_t position_ = 16;
};

/// The ChaCha block function with `rounds` rounds (exposed for test vectors).
std::array<std::uint32_t, 16> chacha_block(const std::array<std::uint32_t, 16>& input, int rounds);

}  // namespace kivo::stress
