#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kivo::stress::checks {

/// Streaming SipHash-1-3: one compression round per 8-byte block, three finalization rounds.
class SipHash13 {
 public:
  SipHash13(std::uint64_t key0, std::uint64_t key1);
  /// Appends `bytes` to the hashed stream.
  void write(std::string_view bytes);
  /// The hash of everything written so far (the state is left unchanged).
  std::uint64_t finish() const;

 private:
  struct State {
    std::uint64_t v0, v1, v2, v3;
    void round();
    void compress(std::uint64_t block);
  };

  State state_;
  std::uint64_t tail_ = 0;  // pending bytes, least significant first
  std::size_t tail_size_ = 0;
  std::uint64_t length_ = 0;
};

}  // namespace kivo::stress::checks
