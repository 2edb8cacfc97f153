#pragma once

#include <expected>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "kivo/element.hpp"
#include "kivo/error.hpp"
#include "kivo/model.hpp"
#include "kivo/stress/operation.hpp"
#include "kivo/xml_errors.hpp"

// Test-only seams: let tests make the guarded copy-engine call, or the library's writer, reader or
// validation as the harness calls them, misbehave. Production code never sets a hook.
namespace kivo::stress::guard::test_hooks {

/// Runs inside the fault guard just before the copy engine, with the target preset; it may throw
/// (a fault) or change the target (a faulty engine).
using EngineHook = void (*)(Element& target);

/// Installs `hook` (nullptr removes it).
void set_engine_hook(EngineHook hook);

/// Takes the copy engine's place inside the fault guard, for planted faults.
using EngineOverride = std::function<std::expected<model::CopyResult, AppError>(
    const Element& source, Element& target, const StressOperation& operation)>;
/// Installs `engine` (an empty function removes it).
void set_engine_override(EngineOverride engine);

/// Takes the library writer's place where the harness writes a preset.
using WriterOverride = std::function<std::expected<std::string, WriteError>(const Element& root)>;
/// Installs `writer` (an empty function removes it).
void set_writer_override(WriterOverride writer);

/// Takes the library reader's place where the harness reads a preset.
using ReaderOverride = std::function<std::expected<Element, ParseError>(std::string_view text)>;
/// Installs `reader` (an empty function removes it).
void set_reader_override(ReaderOverride reader);

/// Takes the library validation's place where the harness validates a preset.
using ValidationOverride = std::function<std::vector<std::string>(const Element& root)>;
/// Installs `validation` (an empty function removes it).
void set_validation_override(ValidationOverride validation);

}  // namespace kivo::stress::guard::test_hooks
