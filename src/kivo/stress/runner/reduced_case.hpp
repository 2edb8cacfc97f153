#pragma once

#include <filesystem>
#include <string>

#include "kivo/element.hpp"
#include "kivo/stress/artifacts.hpp"
#include "kivo/stress/error.hpp"
#include "kivo/stress/reduce.hpp"

namespace kivo::stress::runner {

/// A case as written, and the line that says what reduction did (empty when it was not reduced).
struct WrittenCase {
  std::filesystem::path directory;
  std::string summary;
};

/// Reduces the failing case `unreduced` and writes it under `out_dir`, the unreduced case kept
/// in its "unreduced/" folder.
Result<WrittenCase> write_reduced_case(const std::filesystem::path& out_dir,
                                       const artifacts::CaseContent& unreduced,
                                       const reduce::Options& options);

/// Reduces the case whose case.json is at `case_path` into a new case directory beside it; the
/// strictness comes from the case.
Result<WrittenCase> reduce_case_file(const std::filesystem::path& case_path,
                                     reduce::Options options);

}  // namespace kivo::stress::runner
