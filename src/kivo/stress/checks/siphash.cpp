#include "kivo/stress/checks/siphash.hpp"

#include <bit>

namespace kivo::stress::checks {

void SipHash13::State::round() {
  v0 += v1;
  v1 = std::rotl(v1, 13);
  v1 ^= v0;
  v0 = std::rotl(v0, 32);
  v2 += v3;
  v3 = std::rotl(v3, 16);
  v3 ^= v2;
  v0 += v3;
  v3 = std::rotl(v3, 21);
  v3 ^= v0;
  v2 += v1;
  v1 = std::rotl(v1, 17);
  v1 ^= v2;
  v2 = std::rotl(v2, 32);
}

void SipHash13::State::compress(std::uint64_t block) {
  v3 ^= block;
  round();
  v0 ^= block;
}

SipHash13::SipHash13(std::uint64_t key0, std::uint64_t key1)
    : state_{key0 ^ 0x736f6d6570736575ULL, key1 ^ 0x646f72616e646f6dULL,
             key0 ^ 0x6c7967656e657261ULL, key1 ^ 0x7465646279746573ULL} {}

void SipHash13::write(std::string_view bytes) {
  for (char c : bytes) {
    tail_ |= static_cast<std::uint64_t>(static_cast<unsigned char>(c)) << (8 * tail_size_);
    if (++tail_size_ == 8) {
      state_.compress(tail_);
      tail_ = 0;
      tail_size_ = 0;
    }
  }
  length_ += bytes.size();
}

std::uint64_t SipHash13::finish() const {
  State state = state_;
  state.compress(tail_ | (length_ & 0xff) << 56);
  state.v2 ^= 0xff;
  for (int i = 0; i < 3; ++i) state.round();
  return state.v0 ^ state.v1 ^ state.v2 ^ state.v3;
}

}  // namespace kivo::stress::checks
