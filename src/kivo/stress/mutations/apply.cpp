#include "kivo/stress/mutations.hpp"
#include "kivo/stress/mutations/steps.hpp"

namespace kivo::stress::mutations {
namespace {

// Bias clamped to [0, 1]; NaN counts as 0 so that it never breaks identities.
double clamp_unit(double value) {
  if (!(value > 0)) return 0.0;
  return value < 1 ? value : 1.0;
}

void apply_step(Element& root, Rng& rng, std::uint64_t kind, double p) {
  switch (kind) {
    case 0:
      return steps::rename_screen(root, rng);
    case 1:
      return steps::rename_layer(root, rng);
    case 2:
      return steps::toggle_enabled(root, rng);
    case 3:
      return perturb_rect(root, rng);
    case 4:
      return steps::remove_or_duplicate_layer(root, rng);
    case 5:
      return steps::edit_slice_mask(root, rng);
    case 6:
      return steps::collide_names(root, rng);
    default:
      if (rng.gen_bool(p)) return steps::break_identity(root, rng);
      return perturb_rect(root, rng);
  }
}

}  // namespace

void apply_random_mutations(Element& root, Rng& rng, std::uint64_t count, double invalid_bias) {
  if (count == 0) return;
  const double p = clamp_unit(invalid_bias);
  for (std::uint64_t step = 0; step < count; ++step) apply_step(root, rng, rng.gen_range(0, 8), p);
}

}  // namespace kivo::stress::mutations
