#pragma once

#include <expected>
#include <functional>
#include <string>

#include "kivo/element.hpp"
#include "kivo/error.hpp"
#include "kivo/model.hpp"
#include "kivo/stress/operation.hpp"
#include "kivo/xml_errors.hpp"

// Test-only seams: let tests make the guarded copy-engine call or the round trip's writer
// misbehave. Production code never sets a hook.
namespace kivo::stress::replay::test_hooks {

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

/// Takes the XML writer's place in the round-trip check.
using WriterOverride = std::function<std::expected<std::string, WriteError>(const Element& root)>;
/// Installs `writer` (an empty function removes it).
void set_writer_override(WriterOverride writer);

}  // namespace kivo::stress::replay::test_hooks
