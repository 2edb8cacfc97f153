#pragma once

// Situations the template never holds, built into strict documents so that strict runs reach the
// copy engine's less common decisions: values exactly on its limits, identifiers whose ranges
// overlap, display names whose sources disagree, unusual shapes and kinds of screens.

#include <cstdint>
#include <span>
#include <string_view>

#include "kivo/element.hpp"
#include "kivo/stress/rng.hpp"

namespace kivo::stress::situations {

/// One kind of situation: its name and how it is built into a document.
struct Kind {
  std::string_view name;
  void (*build)(Element& root, Rng& rng);
  /// Built once after the others, which could undo it (a renumbering, a larger fresh identifier).
  bool last = false;
};

/// Every kind, in a fixed order.
std::span<const Kind> kinds();

/// Cuts `root` to a small preset: a few children of its screens list, each with a few layers.
void cut_small(Element& root, Rng& rng);

/// Builds `count` situations into `root`, drawn from a random subset of the kinds (swarm), so
/// that each document holds a few kinds often rather than every kind rarely.
void build(Element& root, Rng& rng, std::uint64_t count);

}  // namespace kivo::stress::situations
