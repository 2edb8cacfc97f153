#pragma once

// Requests for the differential target, chosen by the input's bytes.

#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <string_view>

#include "fuzz_rng.hpp"
#include "kivo/element.hpp"
#include "kivo/stress/operation.hpp"

namespace kivo::fuzz {

/// A request with the name of the builder that made it.
struct OracleRequest {
  stress::StressOperation operation;
  std::string_view builder;
};

/// A request chosen by the input: a copy or paste with identifiers from the documents or the
/// input, the ordinary planner's, or one of the strict planner's targeted requests.
OracleRequest oracle_request(FuzzedDataProvider& input, FuzzRng& rng, const Element& source,
                             const Element& target);

/// The request on one line, for reports.
std::string describe(const stress::StressOperation& operation);

}  // namespace kivo::fuzz
