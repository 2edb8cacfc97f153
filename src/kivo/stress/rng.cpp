// The harness's random generator: a ChaCha stream cipher with 12 rounds used as a keystream.
//
// Seeding (`seed_from_u64`): the 64-bit seed drives a SplitMix64 sequence; its first four
// outputs w0..w3 form the 256-bit key, each word split into two 32-bit key words, low half
// first (key = lo(w0), hi(w0), lo(w1), hi(w1), ..., hi(w3)). The block input is the usual
// ChaCha layout: the four constants "expand 32-byte k", the eight key words, a 64-bit block
// counter in words 12 (low) and 13 (high), and a 64-bit nonce in words 14 and 15. Counter and
// nonce start at 0; the counter grows by one per block.
//
// Consumption: the 16 words of each output block are handed out in order, one per `next_u32`;
// `next_u64` takes two such words, the first as the low half. Every derived draw below is
// built from these words with integer arithmetic or exact IEEE operations only, so the stream
// is the same on every platform and standard library.

#include "kivo/stress/rng.hpp"

#include <cmath>

namespace kivo::stress {
namespace {

constexpr std::array<std::uint32_t, 4> kConstants = {0x61707865u, 0x3320646eu, 0x79622d32u,
                                                     0x6b206574u};
constexpr int kRounds = 12;

std::uint32_t rotl(std::uint32_t value, int bits) {
  return (value << bits) | (value >> (32 - bits));
}

void quarter_round(std::array<std::uint32_t, 16>& s, int a, int b, int c, int d) {
  s[a] += s[b];
  s[d] = rotl(s[d] ^ s[a], 16);
  s[c] += s[d];
  s[b] = rotl(s[b] ^ s[c], 12);
  s[a] += s[b];
  s[d] = rotl(s[d] ^ s[a], 8);
  s[c] += s[d];
  s[b] = rotl(s[b] ^ s[c], 7);
}

std::uint64_t splitmix64_next(std::uint64_t& state) {
  state += 0x9e3779b97f4a7c15ull;
  std::uint64_t z = state;
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
  return z ^ (z >> 31);
}

// High 64 bits and low 64 bits of a * b, from 32-bit halves (no compiler extensions).
struct Product {
  std::uint64_t high;
  std::uint64_t low;
};

Product multiply_wide(std::uint64_t a, std::uint64_t b) {
  const std::uint64_t a_lo = a & 0xffffffffu, a_hi = a >> 32;
  const std::uint64_t b_lo = b & 0xffffffffu, b_hi = b >> 32;
  const std::uint64_t lo_lo = a_lo * b_lo;
  const std::uint64_t hi_lo = a_hi * b_lo;
  const std::uint64_t lo_hi = a_lo * b_hi;
  const std::uint64_t hi_hi = a_hi * b_hi;
  const std::uint64_t middle = (lo_lo >> 32) + (hi_lo & 0xffffffffu) + lo_hi;
  return {hi_hi + (hi_lo >> 32) + (middle >> 32), (middle << 32) | (lo_lo & 0xffffffffu)};
}

// A real in [0, 1) from the top 53 bits of a 64-bit draw; exact in a double.
double unit_f64(std::uint64_t bits) {
  constexpr double kScale = 1.0 / 9007199254740992.0;  // 2^-53
  return static_cast<double>(bits >> 11) * kScale;
}

}  // namespace

std::array<std::uint32_t, 16> chacha_block(const std::array<std::uint32_t, 16>& input, int rounds) {
  std::array<std::uint32_t, 16> s = input;
  // Rounds alternate between columns and diagonals; an odd count ends on a column round.
  for (int round = 0; round < rounds; ++round) {
    if (round % 2 == 0) {
      quarter_round(s, 0, 4, 8, 12);
      quarter_round(s, 1, 5, 9, 13);
      quarter_round(s, 2, 6, 10, 14);
      quarter_round(s, 3, 7, 11, 15);
    } else {
      quarter_round(s, 0, 5, 10, 15);
      quarter_round(s, 1, 6, 11, 12);
      quarter_round(s, 2, 7, 8, 13);
      quarter_round(s, 3, 4, 9, 14);
    }
  }
  for (std::size_t i = 0; i < s.size(); ++i) s[i] += input[i];
  return s;
}

StressRng::StressRng(const std::array<std::uint32_t, 8>& key) {
  for (std::size_t i = 0; i < 4; ++i) state_[i] = kConstants[i];
  for (std::size_t i = 0; i < 8; ++i) state_[4 + i] = key[i];
}

StressRng StressRng::seed_from_u64(std::uint64_t seed) {
  std::array<std::uint32_t, 8> key{};
  std::uint64_t state = seed;
  for (std::size_t i = 0; i < 4; ++i) {
    const std::uint64_t word = splitmix64_next(state);
    key[2 * i] = static_cast<std::uint32_t>(word);
    key[2 * i + 1] = static_cast<std::uint32_t>(word >> 32);
  }
  return StressRng(key);
}

void StressRng::refill() {
  block_ = chacha_block(state_, kRounds);
  if (++state_[12] == 0) ++state_[13];
  position_ = 0;
}

std::uint32_t StressRng::next_u32() {
  if (position_ >= block_.size()) refill();
  return block_[position_++];
}

std::uint64_t StressRng::next_u64() {
  const std::uint64_t low = next_u32();
  const std::uint64_t high = next_u32();
  return (high << 32) | low;
}

// Widening multiply with rejection of the biased low products (Lemire's method).
std::uint64_t StressRng::gen_range(std::uint64_t low, std::uint64_t high) {
  if (high <= low) return low;
  const std::uint64_t range = high - low;
  Product product = multiply_wide(next_u64(), range);
  if (product.low < range) {
    const std::uint64_t threshold = (0 - range) % range;
    while (product.low < threshold) product = multiply_wide(next_u64(), range);
  }
  return low + product.high;
}

std::uint32_t StressRng::gen_range_u32(std::uint32_t low, std::uint32_t high) {
  if (high <= low) return low;
  const std::uint32_t range = high - low;
  std::uint64_t product = std::uint64_t{next_u32()} * range;
  if (static_cast<std::uint32_t>(product) < range) {
    const std::uint32_t threshold = (0u - range) % range;
    while (static_cast<std::uint32_t>(product) < threshold) {
      product = std::uint64_t{next_u32()} * range;
    }
  }
  return low + static_cast<std::uint32_t>(product >> 32);
}

// One 64-bit draw; rounding can land on `high`, which is then replaced by the largest
// representable value below it, so the range stays half-open without a second draw.
double StressRng::gen_range_f64(double low, double high) {
  const double unit = unit_f64(next_u64());
  if (!(low < high)) return low;
  const double value = low + unit * (high - low);
  if (value < high) return value;
  return std::nextafter(high, low);
}

bool StressRng::gen_bool(double p) {
  const double unit = unit_f64(next_u64());
  if (!(p > 0)) return false;
  if (p >= 1) return true;
  return unit < p;
}

std::optional<std::size_t> StressRng::choose_index(std::size_t length) {
  if (length == 0) return std::nullopt;
  return static_cast<std::size_t>(gen_range(0, length));
}

// Fisher-Yates from the back, the same walk as `Rng::shuffle`.
std::vector<std::size_t> StressRng::sample(std::size_t n) {
  std::vector<std::size_t> order(n);
  for (std::size_t i = 0; i < n; ++i) order[i] = i;
  for (std::size_t i = n; i > 1; --i) {
    std::swap(order[i - 1], order[static_cast<std::size_t>(gen_range(0, i))]);
  }
  return order;
}

}  // namespace kivo::stress
