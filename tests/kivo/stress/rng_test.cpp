#include "kivo/stress/rng.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <set>

#include "support/rngs.hpp"

namespace {

using kivo::stress::StressRng;

TEST(ChachaBlock, MatchesThePublishedTwentyRoundVector) {
  // Key 00 01 .. 1f, block counter 1, nonce 00:00:00:09:00:00:00:4a:00:00:00:00.
  const std::array<std::uint32_t, 16> input = {0x61707865, 0x3320646e, 0x79622d32, 0x6b206574,
                                               0x03020100, 0x07060504, 0x0b0a0908, 0x0f0e0d0c,
                                               0x13121110, 0x17161514, 0x1b1a1918, 0x1f1e1d1c,
                                               0x00000001, 0x09000000, 0x4a000000, 0x00000000};
  const std::array<std::uint32_t, 16> expected = {0xe4e7f110, 0x15593bd1, 0x1fdd0f50, 0xc47120a3,
                                                  0xc7f4d1c7, 0x0368c033, 0x9aaa2204, 0x4e6cd4c3,
                                                  0x466482d2, 0x09aa9f07, 0x05d7c214, 0xa2028bd9,
                                                  0xd19c12b5, 0xb94e16de, 0xe883d0cb, 0x4e3c50a2};
  EXPECT_EQ(kivo::stress::chacha_block(input, 20), expected);
}

TEST(ChachaBlock, MatchesThePublishedTwelveRoundVectors) {
  // All-zero key and nonce; block counter 0, then 1 (the counter sits in word 12).
  std::array<std::uint32_t, 16> input = {0x61707865, 0x3320646e, 0x79622d32, 0x6b206574};
  const std::array<std::uint32_t, 16> first = {0x6a9af49b, 0x53f95507, 0x12ce1f81, 0xd583265f,
                                               0xbbc32904, 0x1474e049, 0xa589007e, 0x5f15ae2e,
                                               0x79f86405, 0xc0e37ad2, 0x3428e82c, 0x798cfaac,
                                               0x2c9f623a, 0x1969dea0, 0x2fe80b61, 0xbe261341};
  EXPECT_EQ(kivo::stress::chacha_block(input, 12), first);
  input[12] = 1;
  const std::array<std::uint32_t, 16> second = {0x4188d50b, 0xfe743e20, 0x3371fc86, 0x3d17e08c,
                                                0xb7eb28c6, 0xcccbbd19, 0x21851515, 0xb489c04c,
                                                0xcd8d2542, 0x11f14ca1, 0x97b802c6, 0x43c88c1b,
                                                0xca461ee9, 0xc0515190, 0xb0a64427, 0x1693e617};
  EXPECT_EQ(kivo::stress::chacha_block(input, 12), second);
}

// The SplitMix64 step that expands a seed into key words.
std::uint64_t splitmix64(std::uint64_t& state) {
  std::uint64_t z = (state += 0x9e3779b97f4a7c15ull);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
  return z ^ (z >> 31);
}

TEST(StressRngStream, IsTheTwelveRoundKeystreamOfTheExpandedSeed) {
  for (std::uint64_t seed : {0ull, 42ull, 0xffffffffffffffffull}) {
    std::array<std::uint32_t, 16> input = {0x61707865, 0x3320646e, 0x79622d32, 0x6b206574};
    std::uint64_t state = seed;
    for (std::size_t i = 0; i < 4; ++i) {
      const std::uint64_t word = splitmix64(state);
      input[4 + 2 * i] = static_cast<std::uint32_t>(word);
      input[5 + 2 * i] = static_cast<std::uint32_t>(word >> 32);
    }
    auto rng = StressRng::seed_from_u64(seed);
    for (std::uint32_t counter = 0; counter < 3; ++counter) {
      input[12] = counter;
      for (std::uint32_t word : kivo::stress::chacha_block(input, 12)) {
        EXPECT_EQ(rng.next_u32(), word) << seed << " block " << counter;
      }
    }
  }
}

TEST(StressRngStream, PairsWordsLowWordFirst) {
  auto words = kivo::stress::StressRng::seed_from_u64(7);
  auto pairs = kivo::stress::StressRng::seed_from_u64(7);
  EXPECT_EQ(words.next_u32(), 0x3013b8f1u);
  EXPECT_EQ(words.next_u32(), 0xe091a538u);
  EXPECT_EQ(pairs.next_u64(), 0xe091a5383013b8f1ull);
}

TEST(StressRngRange, MatchesTheWideningMultiplyReference) {
  auto rng = StressRng::seed_from_u64(1);
  for (std::uint64_t expected : {1u, 1u, 7u, 1u, 5u}) EXPECT_EQ(rng.gen_range(0, 10), expected);
  EXPECT_EQ(rng.gen_range(0, std::numeric_limits<std::uint64_t>::max()), 18345810974196369253ull);
  EXPECT_EQ(rng.gen_range(5, (1ull << 63) + 1), 6512892749745729017ull);
  EXPECT_EQ(rng.gen_range(1ull << 63, std::numeric_limits<std::uint64_t>::max()),
            15483020289631355434ull);
}

TEST(StressRngRange, RejectsTheBiasedLowProductsAndDrawsAgain) {
  // For a span of 2^63 + 1 almost half of all 64-bit words fall in the biased zone
  // (low product below 2^64 mod span = 2^63 - 1) and must be replaced by a fresh draw.
  const std::uint64_t span = (1ull << 63) + 1;
  const std::uint64_t threshold = (0 - span) % span;
  auto rng = StressRng::seed_from_u64(31);
  auto words = StressRng::seed_from_u64(31);
  int rejected = 0;
  for (int i = 0; i < 200; ++i) {
    std::uint64_t expected = 0;
    for (;;) {
      // x * (2^63 + 1) = x * 2^63 + x: high and low halves without wide integers.
      const std::uint64_t x = words.next_u64();
      const std::uint64_t low = (x << 63) + x;
      const std::uint64_t high = (x >> 1) + (low < x ? 1 : 0);
      if (low >= threshold) {
        expected = high;
        break;
      }
      ++rejected;
    }
    ASSERT_EQ(rng.gen_range(10, 10 + span), 10 + expected) << i;
  }
  EXPECT_GT(rejected, 50);
  EXPECT_EQ(rng.next_u64(), words.next_u64());

  const std::uint32_t span32 = (1u << 31) + 1;
  const std::uint32_t threshold32 = (0u - span32) % span32;
  rejected = 0;
  for (int i = 0; i < 200; ++i) {
    std::uint64_t product = 0;
    do {
      product = std::uint64_t{words.next_u32()} * span32;
      rejected += static_cast<std::uint32_t>(product) < threshold32 ? 1 : 0;
    } while (static_cast<std::uint32_t>(product) < threshold32);
    ASSERT_EQ(rng.gen_range_u32(0, span32), static_cast<std::uint32_t>(product >> 32)) << i;
  }
  EXPECT_GT(rejected, 50);
  EXPECT_EQ(rng.next_u32(), words.next_u32());
}

TEST(StressRngReal, IsHalfOpenAndCoversTheRange) {
  auto rng = StressRng::seed_from_u64(5);
  double lowest = 1e9, highest = -1e9;
  for (int i = 0; i < 20000; ++i) {
    const double value = rng.gen_range_f64(-40, 40);
    ASSERT_GE(value, -40.0);
    ASSERT_LT(value, 40.0);
    lowest = std::min(lowest, value);
    highest = std::max(highest, value);
  }
  EXPECT_LT(lowest, -39.9);
  EXPECT_GT(highest, 39.9);
  // A range one ulp wide can only give its lower end.
  const double low = 1.0, high = std::nextafter(1.0, 2.0);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(rng.gen_range_f64(low, high), low);
}

TEST(StressRngReal, UsesTheTopFiftyThreeBitsOfOneDraw) {
  auto reals = StressRng::seed_from_u64(9);
  auto words = StressRng::seed_from_u64(9);
  const double expected = static_cast<double>(words.next_u64() >> 11) / 9007199254740992.0;
  EXPECT_EQ(reals.gen_range_f64(0, 1), expected);
  EXPECT_EQ(reals.next_u64(), words.next_u64());
}

TEST(StressRngBool, AlwaysMakesExactlyOneDraw) {
  for (double p : {-1.0, 0.0, 0.35, 1.0, 2.0}) {
    auto bools = StressRng::seed_from_u64(13);
    auto words = StressRng::seed_from_u64(13);
    const bool value = bools.gen_bool(p);
    words.next_u64();
    EXPECT_EQ(bools.next_u64(), words.next_u64()) << p;
    if (p <= 0) {
      EXPECT_FALSE(value);
    }
    if (p >= 1) {
      EXPECT_TRUE(value);
    }
  }
  auto rng = StressRng::seed_from_u64(17);
  int hits = 0;
  for (int i = 0; i < 20000; ++i) hits += rng.gen_bool(0.45) ? 1 : 0;
  EXPECT_NEAR(hits, 9000, 300);
}

TEST(StressRngChoose, DrawsNothingForAnEmptySequence) {
  kivo::test::RecordingRng rng(1);
  const std::vector<int> empty;
  EXPECT_EQ(rng.choose(empty), nullptr);
  EXPECT_EQ(rng.draws(), (std::vector<std::string>{"choose_index 0"}));
  auto twin = StressRng::seed_from_u64(1);
  auto plain = StressRng::seed_from_u64(1);
  EXPECT_FALSE(twin.choose_index(0));
  EXPECT_EQ(twin.next_u64(), plain.next_u64());

  const std::vector<int> items = {10, 20, 30};
  auto picker = StressRng::seed_from_u64(1);
  auto reference = StressRng::seed_from_u64(1);
  EXPECT_EQ(*picker.choose(items), items[reference.gen_range(0, 3)]);
}

TEST(StressRngSample, IsAPermutationMatchingShuffle) {
  auto sampler = StressRng::seed_from_u64(21);
  auto shuffler = StressRng::seed_from_u64(21);
  for (std::size_t n : {0u, 1u, 2u, 7u, 50u}) {
    const auto order = sampler.sample(n);
    std::vector<std::size_t> items(n);
    for (std::size_t i = 0; i < n; ++i) items[i] = i;
    shuffler.shuffle(items);
    EXPECT_EQ(order, items) << n;
    std::vector<std::size_t> sorted = order;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, [&] {
      std::vector<std::size_t> identity(n);
      for (std::size_t i = 0; i < n; ++i) identity[i] = i;
      return identity;
    }()) << n;
  }
}

TEST(StressRngSample, GivesEveryOrderOfThree) {
  auto rng = StressRng::seed_from_u64(23);
  std::map<std::vector<std::size_t>, int> counts;
  for (int i = 0; i < 6000; ++i) ++counts[rng.sample(3)];
  ASSERT_EQ(counts.size(), 6u);
  for (const auto& [order, count] : counts) EXPECT_NEAR(count, 1000, 150);
}

}  // namespace
