#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kivo/element.hpp"
#include "kivo/stress/operation.hpp"

namespace kivo::stress::reduce {

/// What "fails the same way" means: the failing step's kind of operation and the shape of its
/// outcome, with the values that change as the documents shrink (paths, quoted values, numbers)
/// left out.
struct FailureSignature {
  std::string operation;
  std::string outcome;
  friend bool operator==(const FailureSignature&, const FailureSignature&) = default;
};

/// `text` with each path, double-quoted text and run of digits replaced by a placeholder.
std::string message_shape(std::string_view text);
/// The signature of a failing step.
FailureSignature signature_of(const OperationTraceItem& failing);

/// A failing case: the pair's starting documents and a trace whose last step fails.
struct FailingCase {
  Element source;
  Element target;
  std::vector<OperationTraceItem> trace;
};

/// How far a reduction has got, for a progress line.
struct Progress {
  std::uint64_t bytes_left = 0;
  std::uint64_t replays = 0;
};

struct Options {
  bool strict = false;
  std::chrono::steady_clock::duration budget = std::chrono::seconds(60);
  /// Called after each accepted step of the reduction.
  std::function<void(const Progress&)> on_progress;
  /// Once true, the reduction ends as if its time were up (the run is being stopped).
  const std::atomic<bool>* cancel = nullptr;
};

struct Reduction {
  FailingCase reduced;
  std::uint64_t replays = 0;
  std::chrono::steady_clock::duration elapsed{};
  /// False when the budget ran out before no further step could be taken.
  bool complete = false;
  /// False when the case as given does not fail the same way in this process; it is then kept.
  bool reproduced = false;
};

/// Replays `trace` from the two documents; returns the observed trace when every step but the
/// last meets its expectation and the last fails with `signature`, nothing otherwise.
std::optional<std::vector<OperationTraceItem>> fails_alike(
    const Element& source, const Element& target, const std::vector<OperationTraceItem>& trace,
    const FailureSignature& signature, bool strict);

/// The smallest case found within the budget that fails like `failing`: fewer earlier steps,
/// then fewer elements, attributes and other nodes in both documents, then shorter values.
Reduction reduce_case(const FailingCase& failing, const Options& options);

/// The size of `root` written as a case preset.
std::uint64_t case_bytes(const Element& root, bool strict);

}  // namespace kivo::stress::reduce
