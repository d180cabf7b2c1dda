// Loadable modules: open a shared library by name, find a procedure in it, release it.
#pragma once
#include <cstddef>

namespace torq::platform {

// Opens the module with every symbol bound at once. A name ending in ".dll" is looked up with
// ".so" in its place. Null when it cannot be loaded.
void* LoadModule(const char* name);
// The address of the named procedure, or null.
void* ModuleProcedure(void* module, const char* procedureName);
// Releases a module; null is allowed.
void FreeModule(void* module);
// The text of the last failure of the three calls above (empty when none).
const char* ModuleError();
// Writes the name with a trailing ".dll" (any case) replaced by ".so"; other names unchanged.
// False when the result does not fit `size` bytes (NUL included).
bool LocalModuleName(const char* name, char* buffer, std::size_t size);

}  // namespace torq::platform
