#include <windows.h>

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

constexpr Platform kSystem = {load_library, free_library, find_symbol, system_directory,
                              debug_output};

}  // namespace

const Platform& system_platform() { return kSystem; }

}  // namespace qelt
