// What the extension keeps for the whole module: the display the shell named last, the module
// handles, the application lock, and the records of every page the extension objects made.
#ifndef QELTVBTV_SERVER_STATE_H
#define QELTVBTV_SERVER_STATE_H

#include <windows.h>

#include <prsht.h>

#include <memory>
#include <new>
#include <string>
#include <vector>

class CVantrelTVOutPage;

struct CServerState {
  std::string displayDevice;
  std::string displayTitle;
  BOOL deviceFromShell = FALSE;
  HINSTANCE instance = nullptr;
  HINSTANCE resources = nullptr;
  // Every page's parent reference count. Only the platform maintains it, and not every platform
  // does, so nothing here decides on it.
  UINT pageReferences = 0;
};

// One page an extension object made, and the platform page made from its description.
struct CPageRecord {
  CPageRecord(std::unique_ptr<CVantrelTVOutPage> madePage, const void* madeBy);
  ~CPageRecord();

  std::unique_ptr<CVantrelTVOutPage> page;
  const void* owner;  // the extension object that made it, the only one to destroy it
  PROPSHEETPAGEA description = {};
  HPROPSHEETPAGE handle = nullptr;
  HWND dialog = nullptr;
};

CServerState& ServerState();
// Back to the display every page starts with: the whole screen, under the panel's title.
void ResetDisplayValues();

// Appends a record whose description carries a key no other record of this module has.
CPageRecord& AddPageRecord(std::unique_ptr<CVantrelTVOutPage> page, const void* owner);
CPageRecord* FindPageRecord(LPARAM key);
// Destroys the pages of one extension object and forgets their records.
void DestroyPageRecords(const void* owner);

// Runs the body of a COM method or export: an exception becomes E_OUTOFMEMORY or E_UNEXPECTED
// instead of leaving into the caller's process.
template <typename Body>
HRESULT WithoutExceptions(Body body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

// The application lock: held by every extension object alive and by LockServer.
void LockApp();
void UnlockApp();
// Whether nothing of the module is in use: no lock and no outside reference to the factory.
bool CanUnloadNow();

#endif
