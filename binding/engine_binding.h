// The video engine, bound by ordinal when the module is loaded.
#ifndef KXR_BINDING_ENGINE_BINDING_H
#define KXR_BINDING_ENGINE_BINDING_H

#include "kxr/engine.h"

namespace kxr {

// The engine in use. Every entry is callable: an ordinal that the engine
// lacks, or every ordinal when no engine was found, answers neutrally (0,
// empty texts, "no reading", the end of a walk) and does nothing.
const EngineTable& Engine();
// True when an engine library was found and bound.
bool EngineIsBound();

// Binds the engine library at path (dropping a previous binding); false when
// it cannot be loaded or has no ordinal resolver, leaving the neutral table.
bool BindEngineLibrary(const char* path);
// Looks for the engine in the module's own directory first, then on the
// loader's search path. Runs when the module is loaded.
bool BindEngine();
void UnbindEngine();

// The table of neutral answers that stands in for a missing engine.
const EngineTable& NeutralEngineTable();

// Tests replace the engine; null goes back to the bound one.
void SetEngineTable(const EngineTable* table);

} // namespace kxr

#endif
