// The registry entries that let COM find the extension's class by its CLSID and ProgID.
#ifndef QELTVBTV_REGISTRATION_H
#define QELTVBTV_REGISTRATION_H

#include <windows.h>

// Writes the class's keys under HKEY_CLASSES_ROOT for the module; S_OK, or SELFREG_E_CLASS
// when a key could not be written.
HRESULT RegisterServer(HINSTANCE module);

#endif
