#pragma once

// Documents for the differential target: small presets shaped by the input's bytes, in the form
// the strict generator gives its documents.

#include <fuzzer/FuzzedDataProvider.h>

#include <optional>

#include "fuzz_rng.hpp"
#include "kivo/element.hpp"

namespace kivo::fuzz {

/// A preset chosen by the input (see `oracle_base`) with byte-chosen strict edits, situations
/// and free edits; none when its text does not read back, since only documents a case file can hold
/// are judged.
std::optional<Element> oracle_document(FuzzedDataProvider& input, FuzzRng& rng);

}  // namespace kivo::fuzz
