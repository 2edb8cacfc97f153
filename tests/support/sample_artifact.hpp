#pragma once

#include "kivo/stress/artifacts.hpp"

namespace kivo::test {

/// An artifact that uses every variant, an absent and a present optional text, and escapes.
inline stress::FailureArtifact sample_artifact() {
  using stress::ExpectedOutcome;
  using stress::StressOperation;
  stress::FailureArtifact artifact;
  artifact.seed = 42;
  artifact.config = {
      stress::StressProfile::Balanced, 42, "/t/fully_loaded.xml", 80, 300, 8, 0.08, "/o/stress"};
  artifact.source_doc_index = 3;
  artifact.target_doc_index = 17;
  artifact.failing_step_index = 2;
  artifact.failure_message = "say \"hi\"\\ a/b\n\t\r\b\f\x01\x1f \xc3\xa9";
  artifact.trace_hash = "0123456789abcdef";
  artifact.operation_trace = {
      {0,
       {StressOperation::Copy{"screen", "9", std::nullopt, std::nullopt}},
       {ExpectedOutcome::Success{}},
       "success"},
      {2,
       {StressOperation::InputMask{"s1", "t1", true}},
       {ExpectedOutcome::Any{}},
       "error:Source node not found"},
      {5,
       {StressOperation::Copy{"slice", "12", "5", "7"}},
       {ExpectedOutcome::ErrorContains{"Target screen"}},
       "invariant:x"},
  };
  artifact.source_before_file = "source_before.xml";
  artifact.target_before_file = "target_before.xml";
  artifact.target_after_file = std::nullopt;
  return artifact;
}

}  // namespace kivo::test
