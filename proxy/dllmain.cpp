#include <windows.h>

#include "entry_table.h"
#include "loader.h"

namespace {
qelt::LoaderState g_loader;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  return qelt::process_entry(qelt::system_platform(), g_loader, qelt_entry_table, instance, reason)
             ? TRUE
             : FALSE;
}
