#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "kivo/element.hpp"
#include "kivo/stress/config.hpp"
#include "kivo/stress/error.hpp"

namespace kivo::stress::generator {

/// One document of the stress corpus.
struct GeneratedDoc {
  /// The mutated copy of the template.
  Element doc;
  /// "doc_" and the 0-based index, at least three digits: "doc_007", "doc_1234".
  std::string name;
  /// Drawn into the share whose mutations may break identities (the draw, not the outcome).
  bool invalid = false;
};

/// `config.docs` mutated copies of `template_root`, drawn from `config.seed` XOR 0xC0FFEE.
/// Fails only when the corpus cannot fit in memory: up front when `docs` copies of the
/// template need more than the machine's memory, otherwise when an allocation fails.
Result<std::vector<GeneratedDoc>> generate_docs(const Element& template_root,
                                                const StressConfig& config);

/// As `generate_docs`, handing each document to `take` as soon as it is whole, so that a caller
/// keeping them in another form never holds them all as trees.
Result<void> generate_each(const Element& template_root, const StressConfig& config,
                           const std::function<void(GeneratedDoc)>& take);

/// "doc_" followed by `index` zero-padded to three digits.
std::string doc_name(std::uint64_t index);
/// A lower bound of the heap and slot bytes one copy of `root` occupies.
std::uint64_t tree_footprint(const Element& root);
/// Physical memory plus swap of this machine in bytes, or 0 when it cannot be determined.
std::uint64_t machine_memory_bytes();

}  // namespace kivo::stress::generator
