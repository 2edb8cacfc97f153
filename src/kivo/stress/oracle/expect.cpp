#include "kivo/stress/oracle/copies.hpp"

namespace kivo::stress::oracle {

Expectation expect(const Element& source, const Element& target, const StressOperation& operation) {
  if (const auto* copy = std::get_if<StressOperation::Copy>(&operation.value)) {
    return detail::expect_copy(source, target, *copy);
  }
  return detail::expect_mask_paste(source, target,
                                   std::get<StressOperation::InputMask>(operation.value));
}

}  // namespace kivo::stress::oracle
