// The copy engine held to the strict oracle on byte-chosen documents and requests: an outcome that
// is a fault ("invariant:", including every difference from the oracle, or "panic:") is a finding.
// KIVO_PLANTED_FAULT plants a fault of the census, to measure how fast such findings come
// (scripts/fuzz-census); KIVO_LIST_PLANTED_FAULTS lists the census.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "fuzz_check.hpp"
#include "fuzz_rng.hpp"
#include "kivo/stress/replay.hpp"
#include "oracle_documents.hpp"
#include "oracle_requests.hpp"
#include "planted_from_env.hpp"

namespace {

using kivo::Element;

// KIVO_ORACLE_TRACE prints every request and its outcome, to see what inputs reach.
const bool kTrace = std::getenv("KIVO_ORACLE_TRACE") != nullptr;

// A few requests on one pair, each on the target the previous one left, as a strict run does.
void run_steps(FuzzedDataProvider& input, kivo::fuzz::FuzzRng& rng, const Element& source,
               Element& target, int steps) {
  for (int step = 0; step < steps; ++step) {
    const auto request = kivo::fuzz::oracle_request(input, rng, source, target);
    // A faulty engine may write through its const source; the next step still gets the original.
    const Element source_copy = source;
    const std::string outcome =
        kivo::stress::replay::execute_strict(source_copy, target, request.operation);
    const std::string what = "step " + std::to_string(step) + " (" + std::string(request.builder) +
                             "): " + kivo::fuzz::describe(request.operation);
    if (kTrace) std::fprintf(stderr, "%s -> %s\n", what.c_str(), outcome.c_str());
    if (kivo::stress::replay::is_fault(outcome)) {
      kivo::fuzz::violated("a copy passes the strict checks", what + "\n" + outcome);
    }
  }
}

}  // namespace

// Recording where every allocation came from costs a quarter of each run; a memory fault is still
// reported where it happens (ASAN_OPTIONS=malloc_context_size=30 brings the stacks back).
extern "C" const char* __asan_default_options() { return "malloc_context_size=0"; }

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  kivo::fuzz::plant_from_environment();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  kivo::fuzz::FuzzRng rng(input);
  const int steps = input.ConsumeIntegralInRange(1, 3);
  const std::optional<Element> source = kivo::fuzz::oracle_document(input, rng);
  if (!source) return 0;
  std::optional<Element> target =
      input.ConsumeBool() ? kivo::fuzz::oracle_document(input, rng) : source;
  if (!target) return 0;
  run_steps(input, rng, *source, *target, steps);
  return 0;
}
