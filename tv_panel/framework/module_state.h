// The module's current resource handle: where the panel loads its dialog templates, strings,
// bitmaps, menus and cursors from. It starts as the module holding this code; the page that
// takes over a dialog sets it to the handle the extension recorded.
#ifndef QELTVBTV_MODULE_STATE_H
#define QELTVBTV_MODULE_STATE_H

#include <windows.h>

#include <string>

HINSTANCE GetCurrentResourceHandle();
void SetCurrentResourceHandle(HINSTANCE resources);
// String `id` of the current resource handle; empty when there is none.
std::string LoadResourceString(UINT id);

#endif
