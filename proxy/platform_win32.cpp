#include <windows.h>

#include "guarded_run.h"
#include "platform.h"

namespace qelt {
namespace {

Module load_library(const char* name) { return LoadLibraryA(name); }

void free_library(Module module) { FreeLibrary(static_cast<HMODULE>(module)); }

void* find_symbol(Module module, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

unsigned system_directory(char* buffer, unsigned capacity) {
  return GetSystemDirectoryA(buffer, capacity);
}

void debug_output(const char* line) { OutputDebugStringA(line); }

bool guarded(void (*body)(void*), void* context) { return qelt_guarded_run(body, context) != 0; }

// One more reference through the module's own path, never released; the pinning flag of
// GetModuleHandleEx does not exist on the older systems.
void pin_module(Module module) {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(static_cast<HMODULE>(module), path, MAX_PATH);
  if (length != 0 && length < MAX_PATH) LoadLibraryA(path);
}

constexpr Platform kSystem = {load_library, free_library, find_symbol, system_directory,
                              debug_output,  guarded,      pin_module};

}  // namespace

const Platform& system_platform() { return kSystem; }

}  // namespace qelt
