#include "import_table.h"

#include <cstdint>
#include <cstring>

namespace {

void write_slot(void** slot, void* value) {
  DWORD previous;
  VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &previous);
  *slot = value;
  VirtualProtect(slot, sizeof *slot, previous, &previous);
}

}  // namespace

std::vector<PatchedImport> patch_imports(HMODULE module, const ImportReplacement* replacements,
                                         std::size_t count) {
  std::vector<PatchedImport> patches;
  auto* base = reinterpret_cast<std::uint8_t*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& directory =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (directory.VirtualAddress == 0) return patches;

  for (auto* descriptor =
           reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
       descriptor->Name != 0; ++descriptor) {
    // Once loaded, the address table holds addresses only; the names are in the name table.
    if (descriptor->OriginalFirstThunk == 0) continue;
    auto* name_entry =
        reinterpret_cast<const IMAGE_THUNK_DATA*>(base + descriptor->OriginalFirstThunk);
    auto* slot = reinterpret_cast<void**>(base + descriptor->FirstThunk);
    for (; name_entry->u1.AddressOfData != 0; ++name_entry, ++slot) {
      if (IMAGE_SNAP_BY_ORDINAL(name_entry->u1.Ordinal)) continue;
      const auto* by_name =
          reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + name_entry->u1.AddressOfData);
      const char* name = reinterpret_cast<const char*>(by_name->Name);
      for (std::size_t i = 0; i < count; ++i) {
        if (std::strcmp(name, replacements[i].name) != 0) continue;
        patches.push_back({slot, *slot});
        write_slot(slot, replacements[i].replacement);
      }
    }
  }
  return patches;
}

void restore_imports(const std::vector<PatchedImport>& patches) {
  for (const PatchedImport& patch : patches) write_slot(patch.slot, patch.original);
}
