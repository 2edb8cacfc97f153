#pragma once

// The guarded call of the copy engine and the library calls the harness judges, each behind a
// test seam. Everything that executes a step (checks, replay, reduction) builds on this.

#include <optional>
#include <string>

#include "kivo/element.hpp"
#include "kivo/model.hpp"
#include "kivo/stress/guard/test_hooks.hpp"
#include "kivo/stress/operation.hpp"

namespace kivo::stress::guard {

/// What the engine did: a result, or the outcome text of a refusal or a fault.
struct EngineOutcome {
  std::optional<model::CopyResult> result;
  std::optional<std::string> failure;
  bool faulted = false;
};

/// Runs the copy engine on `operation` under the fault guard.
EngineOutcome call_engine(const Element& source, Element& target, const StressOperation& operation);

/// The planted writer, reader and validation, when a test installed them.
const test_hooks::WriterOverride& writer_override();
const test_hooks::ReaderOverride& reader_override();
const test_hooks::ValidationOverride& validation_override();

}  // namespace kivo::stress::guard
