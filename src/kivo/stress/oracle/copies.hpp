#pragma once

#include "kivo/stress/oracle.hpp"

namespace kivo::stress::oracle::detail {

/// The expectation of copying a screen, slice or mask.
Expectation expect_copy(const Element& source, const Element& target,
                        const StressOperation::Copy& copy);
/// Marks the lookalike and prefixed names in the parts of both documents `operation` reads.
void mark_shapes(const Element& source, const Element& target, const StressOperation& operation,
                 Decisions& decisions);
/// The expectation of pasting an input mask.
Expectation expect_mask_paste(const Element& source, const Element& target,
                              const StressOperation::InputMask& paste);

}  // namespace kivo::stress::oracle::detail
