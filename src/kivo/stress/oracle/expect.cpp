#include "kivo/stress/oracle/copies.hpp"
#include "kivo/stress/oracle/detail.hpp"

namespace kivo::stress::oracle {

Expectation expect(const Element& source, const Element& target, const StressOperation& operation) {
  Decisions met;
  const detail::LookupWitness witness(met);
  Expectation expectation =
      std::holds_alternative<StressOperation::Copy>(operation.value)
          ? detail::expect_copy(source, target, std::get<StressOperation::Copy>(operation.value))
          : detail::expect_mask_paste(source, target,
                                      std::get<StressOperation::InputMask>(operation.value));
  expectation.decisions |= met;
  return expectation;
}

Decisions shape_decisions(const Element& source, const Element& target,
                          const StressOperation& operation) {
  Decisions decisions;
  detail::mark_shapes(source, target, operation, decisions);
  return decisions;
}

}  // namespace kivo::stress::oracle
