// The module's current resource handle: where the panel loads its dialog templates, strings,
// bitmaps, menus and cursors from. It starts as the module holding this code; the page that
// takes over a dialog sets it to the handle the extension recorded.
#ifndef QELTVBTV_MODULE_STATE_H
#define QELTVBTV_MODULE_STATE_H

#include <windows.h>

HINSTANCE GetCurrentResourceHandle();
void SetCurrentResourceHandle(HINSTANCE resources);

#endif
