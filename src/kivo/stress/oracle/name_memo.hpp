#pragma once

// Answers about element and attribute names, kept by name on each thread: a walk asks about the
// same few dozen names at every element.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "kivo/name.hpp"

namespace kivo::stress::oracle::detail {

/// `answer(name)`, kept by the address of a stored name's spelling, which never changes or moves.
/// A name that owns its spelling may be freed and its address reused, so it is answered anew.
template <class T, T (*Answer)(std::string_view)>
T remembered(const Name& name) {
  if (!name.stored()) return Answer(name);
  struct Slot {
    const std::string* spelling = nullptr;
    T answer{};
  };
  thread_local std::array<Slot, 256> recent;
  const std::string* spelling = &name.str();
  Slot& slot = recent[(reinterpret_cast<std::uintptr_t>(spelling) >> 4) % recent.size()];
  if (slot.spelling != spelling) slot = Slot{spelling, Answer(*spelling)};
  return slot.answer;
}

}  // namespace kivo::stress::oracle::detail
