#include "kivo/merge.hpp"
#include "kivo/merge/number_format.hpp"

namespace kivo::merge {

std::expected<void, AppError> ensure_compatible_input_aspect_ratio(double source_width,
                                                                   double source_height,
                                                                   double target_width,
                                                                   double target_height) {
  const double source_ratio = source_width / source_height;
  const double target_ratio = target_width / target_height;
  const double r =
      source_ratio > target_ratio ? source_ratio / target_ratio : target_ratio / source_ratio;
  // A NaN ratio compares false and passes, as does the inclusive limit itself.
  if (r > 1.35) {
    return std::unexpected(AppError::validation(
        "Input mask paste blocked: source and target slice aspect ratios are too different (" +
        detail::format_fixed3(source_ratio) + " vs " + detail::format_fixed3(target_ratio) + ")."));
  }
  return {};
}

}  // namespace kivo::merge
