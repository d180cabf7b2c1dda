#include "support/platform/dynamic_library.h"

#include <dlfcn.h>
#include <strings.h>

#include <cstring>

namespace torq::platform {

namespace {
thread_local const char* gLastModuleError = "";
}

bool LocalModuleName(const char* name, char* buffer, std::size_t size) {
  if (name == nullptr || buffer == nullptr || size == 0) return false;
  const std::size_t length = std::strlen(name);
  constexpr char kWindowsSuffix[] = ".dll";
  constexpr std::size_t kSuffixLength = sizeof kWindowsSuffix - 1;
  const bool windows = length > kSuffixLength && strcasecmp(name + length - kSuffixLength, kWindowsSuffix) == 0;
  const std::size_t stem = windows ? length - kSuffixLength : length;
  const std::size_t total = stem + (windows ? 3 : 0);
  if (total + 1 > size) return false;
  std::memcpy(buffer, name, stem);
  if (windows) std::memcpy(buffer + stem, ".so", 3);
  buffer[total] = '\0';
  return true;
}

void* LoadModule(const char* name) {
  char local[4096];
  if (!LocalModuleName(name, local, sizeof local)) {
    gLastModuleError = "module name too long";
    return nullptr;
  }
  void* module = dlopen(local, RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    const char* text = dlerror();
    gLastModuleError = text != nullptr ? text : "";
  }
  return module;
}

void* ModuleProcedure(void* module, const char* procedureName) {
  if (module == nullptr || procedureName == nullptr) return nullptr;
  dlerror();
  void* procedure = dlsym(module, procedureName);
  if (procedure == nullptr) {
    const char* text = dlerror();
    gLastModuleError = text != nullptr ? text : "";
  }
  return procedure;
}

void FreeModule(void* module) {
  if (module != nullptr) dlclose(module);
}

const char* ModuleError() { return gLastModuleError; }

}  // namespace torq::platform
