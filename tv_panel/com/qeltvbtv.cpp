// The module's entry points: its start-up and shut-down, the three COM server exports and the
// saved-settings loader that the command-line DLL runner can start.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <winsock.h>

#include "class_factory.h"
#include "module_state.h"
#include "registration.h"
#include "resource_ids.h"
#include "runtime_threads.h"
#include "saved_settings_loader.h"
#include "server_state.h"

namespace {

bool g_socketsStarted = false;

// Windows Sockets 1.1 is the version the panel asks for and the only one it accepts.
bool StartSockets() {
  WSADATA data;
  if (WSAStartup(MAKEWORD(1, 1), &data) != 0) return false;
  if (data.wVersion != MAKEWORD(1, 1)) {
    WSACleanup();
    return false;
  }
  return true;
}

BOOL InitializeLibrary(HINSTANCE instance) {
  CServerState& state = ServerState();
  state.instance = instance;
  state.resources = GetCurrentResourceHandle();
  try {
    ResetDisplayValues();
    g_socketsStarted = StartSockets();
    if (!g_socketsStarted) {
      MessageBoxA(nullptr, LoadResourceString(IDS_SOCKETS_FAILED).c_str(), "qeltvbtv",
                  MB_OK | MB_ICONEXCLAMATION);
      return FALSE;
    }
  } catch (...) {
    return FALSE;
  }
  InitCommonControls();
  return TRUE;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      return InitializeLibrary(instance);
    case DLL_THREAD_DETACH:
      RunThreadKeyDestructors();
      break;
    case DLL_PROCESS_DETACH:
      RunThreadKeyDestructors();
      // At process exit the system takes the sockets and slots back itself.
      if (reserved == nullptr) {
        ReleaseThreadKeys();
        if (g_socketsStarted) WSACleanup();
      }
      break;
    default:
      break;
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (!IsEqualCLSID(clsid, CLSID_VantrelControlPanel)) return CLASS_E_CLASSNOTAVAILABLE;
  return CClassFactory::Instance().QueryInterface(iid, object);
}

STDAPI DllCanUnloadNow() { return CanUnloadNow() ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() {
  return WithoutExceptions([] { return RegisterServer(ServerState().instance); });
}

// The command-line DLL runner's entry shape; the arguments are not used and the result is 0.
extern "C" int WINAPI VantrelLoadSettings(HWND, HINSTANCE, LPSTR, int) {
  try {
    LoadSavedSettings();
  } catch (...) {
  }
  return 0;
}
