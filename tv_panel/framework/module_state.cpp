#include "module_state.h"

// The linker's symbol for the start of this module's image.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

HINSTANCE g_resources = nullptr;

}  // namespace

HINSTANCE GetCurrentResourceHandle() {
  return g_resources != nullptr ? g_resources : reinterpret_cast<HINSTANCE>(&__ImageBase);
}

void SetCurrentResourceHandle(HINSTANCE resources) { g_resources = resources; }

std::string LoadResourceString(UINT id) {
  char text[256] = {};
  LoadStringA(GetCurrentResourceHandle(), id, text, sizeof text);
  return text;
}
