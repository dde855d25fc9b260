#include "server_state.h"

#include <algorithm>

#include "class_factory.h"
#include "module_state.h"
#include "resource_ids.h"
#include "vantrel_tvout_page.h"

namespace {

std::vector<std::unique_ptr<CPageRecord>>& PageRecords() {
  static std::vector<std::unique_ptr<CPageRecord>> records;
  return records;
}

// Keys start at the dialog template's number, so the first record's key is 1000.
LPARAM g_nextPageKey = IDD_TVOUT_PAGE;
LONG g_appLocks = 0;

// The platform copies the description and calls the dialog procedure with that copy.
INT_PTR CALLBACK PageDialogProc(HWND window, UINT message, WPARAM, LPARAM lParam) {
  if (message != WM_INITDIALOG) return FALSE;
  const auto* description = reinterpret_cast<const PROPSHEETPAGEA*>(lParam);
  CPageRecord* record = description != nullptr ? FindPageRecord(description->lParam) : nullptr;
  if (record == nullptr) return FALSE;
  record->dialog = window;
  const CServerState& state = ServerState();
  try {
    record->page->AttachToDialog(window, state.instance, state.resources);
  } catch (...) {
  }
  return FALSE;
}

}  // namespace

CPageRecord::CPageRecord(std::unique_ptr<CVantrelTVOutPage> madePage, const void* madeBy)
    : page(std::move(madePage)), owner(madeBy) {
  description.dwSize = PROPSHEETPAGEA_V2_SIZE;
  description.dwFlags = PSP_USEREFPARENT;
  description.hInstance = ServerState().resources;
  description.pszTemplate = MAKEINTRESOURCEA(IDD_TVOUT_PAGE);
  description.pfnDlgProc = PageDialogProc;
  description.pcRefParent = &ServerState().pageReferences;
}

CPageRecord::~CPageRecord() = default;

CServerState& ServerState() {
  static CServerState state;
  return state;
}

void ResetDisplayValues() {
  CServerState& state = ServerState();
  state.deviceFromShell = FALSE;
  state.displayDevice = "DISPLAY";
  state.displayTitle = LoadResourceString(IDS_PANEL_TITLE);
}

CPageRecord& AddPageRecord(std::unique_ptr<CVantrelTVOutPage> page, const void* owner) {
  auto& records = PageRecords();
  records.reserve(records.size() + 1);
  auto record = std::make_unique<CPageRecord>(std::move(page), owner);
  record->description.lParam = g_nextPageKey++;
  records.push_back(std::move(record));
  return *records.back();
}

CPageRecord* FindPageRecord(LPARAM key) {
  for (const auto& record : PageRecords()) {
    if (record->description.lParam == key) return record.get();
  }
  return nullptr;
}

void DestroyPageRecords(const void* owner) {
  auto& records = PageRecords();
  const auto mine = std::stable_partition(
      records.begin(), records.end(), [owner](const auto& record) { return record->owner != owner; });
  records.erase(mine, records.end());
  if (records.empty()) std::vector<std::unique_ptr<CPageRecord>>().swap(records);
}

void LockApp() { InterlockedIncrement(&g_appLocks); }

void UnlockApp() { InterlockedDecrement(&g_appLocks); }

bool CanUnloadNow() {
  return g_appLocks == 0 && !CClassFactory::Instance().IsReferenced();
}
