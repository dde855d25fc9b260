// Replaces entries of a loaded module's import address table, so that the module's own calls of
// the named functions reach a stand-in while every other module keeps the real ones.
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

struct ImportReplacement {
  const char* name;  // imported by this name from whichever DLL
  void* replacement;
};

struct PatchedImport {
  void** slot;
  void* original;
};

std::vector<PatchedImport> patch_imports(HMODULE module, const ImportReplacement* replacements,
                                         std::size_t count);
void restore_imports(const std::vector<PatchedImport>& patches);
