#pragma once

#include "kivo/element.hpp"

// Test-only seam: lets tests make the guarded copy-engine call misbehave. Production code never
// sets a hook.
namespace kivo::stress::replay::test_hooks {

/// Runs inside the fault guard just before the copy engine, with the target preset; it may throw
/// (a fault) or change the target (a faulty engine).
using EngineHook = void (*)(Element& target);

/// Installs `hook` (nullptr removes it).
void set_engine_hook(EngineHook hook);

}  // namespace kivo::stress::replay::test_hooks
