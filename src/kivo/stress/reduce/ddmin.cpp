#include "kivo/stress/reduce/ddmin.hpp"

#include <algorithm>

namespace kivo::stress::reduce::detail {
namespace {

// `kept` without its `part`-th of `parts` nearly equal chunks.
std::vector<std::size_t> without_chunk(const std::vector<std::size_t>& kept, std::size_t parts,
                                       std::size_t part) {
  const std::size_t begin = kept.size() * part / parts;
  const std::size_t end = kept.size() * (part + 1) / parts;
  std::vector<std::size_t> rest(kept.begin(), kept.begin() + static_cast<std::ptrdiff_t>(begin));
  rest.insert(rest.end(), kept.begin() + static_cast<std::ptrdiff_t>(end), kept.end());
  return rest;
}

}  // namespace

// Removing everything first settles the many units that play no part at once; then the
// complements of ever smaller chunks, down to single units.
std::vector<std::size_t> ddmin(
    std::size_t count, const std::function<bool(const std::vector<std::size_t>&)>& still_fails) {
  std::vector<std::size_t> kept(count);
  for (std::size_t i = 0; i < count; ++i) kept[i] = i;
  if (count == 0 || still_fails({})) return {};
  std::size_t parts = 2;
  while (kept.size() >= 2) {
    parts = std::min(parts, kept.size());
    bool removed = false;
    for (std::size_t part = 0; part < parts && !removed; ++part) {
      std::vector<std::size_t> rest = without_chunk(kept, parts, part);
      if (rest.size() == kept.size() || !still_fails(rest)) continue;
      kept = std::move(rest);
      parts = std::max<std::size_t>(parts - 1, 2);
      removed = true;
    }
    if (removed) continue;
    if (parts >= kept.size()) break;
    parts = std::min(kept.size(), parts * 2);
  }
  return kept;
}

}  // namespace kivo::stress::reduce::detail
