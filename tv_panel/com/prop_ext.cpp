#include "prop_ext.h"

#include "board_check.h"
#include "escapes_win32.h"
#include "module_state.h"
#include "resource_ids.h"
#include "server_state.h"
#include "vantrel_tvout_page.h"

namespace {

// The text buffer the shell's names are kept in: 127 bytes and the terminator.
constexpr std::size_t kDataTextSize = 128;

// Appends the ANSI form of each character while the whole stays within limit bytes; a
// surrogate pair is one character.
std::string NarrowWithin(const wchar_t* text, std::size_t length, std::size_t limit) {
  std::string narrow;
  for (std::size_t i = 0; i < length;) {
    const bool pair = i + 1 < length && text[i] >= 0xD800 && text[i] <= 0xDBFF &&
                      text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
    const int units = pair ? 2 : 1;
    char bytes[8];
    const int size = WideCharToMultiByte(CP_ACP, 0, text + i, units, bytes, sizeof bytes,
                                         nullptr, nullptr);
    if (size <= 0 || narrow.size() + static_cast<std::size_t>(size) > limit) break;
    narrow.append(bytes, static_cast<std::size_t>(size));
    i += static_cast<std::size_t>(units);
  }
  return narrow;
}

}  // namespace

std::string GetDataObjectString(const char* format, IDataObject* data) {
  const UINT clipboardFormat = RegisterClipboardFormatA(format);
  if (data == nullptr) return std::string();
  FORMATETC request = {static_cast<CLIPFORMAT>(clipboardFormat), nullptr, DVASPECT_CONTENT, -1,
                       TYMED_HGLOBAL};
  STGMEDIUM medium = {};
  if (FAILED(data->GetData(&request, &medium))) return std::string();
  std::string text;
  if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal != nullptr) {
    if (const auto* wide = static_cast<const wchar_t*>(GlobalLock(medium.hGlobal))) {
      // A text without terminator ends with its memory block.
      const std::size_t units = GlobalSize(medium.hGlobal) / sizeof(wchar_t);
      std::size_t length = 0;
      while (length < units && wide[length] != L'\0') ++length;
      try {
        text = NarrowWithin(wide, length, kDataTextSize - 1);
      } catch (...) {
        text.clear();
      }
      GlobalUnlock(medium.hGlobal);
    }
  }
  // Frees the block, or hands it back to the data object when that one still owns it.
  ReleaseStgMedium(&medium);
  return text;
}

CPropExt::CPropExt() { LockApp(); }

CPropExt::~CPropExt() { UnlockApp(); }

HRESULT STDMETHODCALLTYPE CPropExt::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IShellPropSheetExt)) {
    *object = static_cast<IShellPropSheetExt*>(this);
  } else if (IsEqualIID(iid, IID_IShellExtInit)) {
    *object = static_cast<IShellExtInit*>(this);
  } else if (IsEqualIID(iid, IID_IDispatch)) {
    *object = static_cast<IDispatch*>(this);
  } else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG STDMETHODCALLTYPE CPropExt::AddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&m_references));
}

ULONG STDMETHODCALLTYPE CPropExt::Release() {
  const LONG left = InterlockedDecrement(&m_references);
  if (left == 0) OnFinalRelease();
  return static_cast<ULONG>(left);
}

void CPropExt::OnFinalRelease() {
  DestroyPageRecords(this);
  delete this;
}

HRESULT STDMETHODCALLTYPE CPropExt::Initialize(PCIDLIST_ABSOLUTE, IDataObject* data, HKEY) {
  return WithoutExceptions([data] {
    ResetDisplayValues();
    const std::string device = GetDataObjectString("Display Device", data);
    const std::string name = GetDataObjectString("Display Name", data);
    const std::string monitor = GetDataObjectString("Monitor Name", data);
    if (device.empty()) return S_OK;
    CServerState& state = ServerState();
    state.displayDevice = device;
    state.deviceFromShell = TRUE;
    if (!name.empty()) {
      state.displayTitle =
          monitor.empty() ? name : monitor + " " + LoadResourceString(IDS_TITLE_ON) + " " + name;
    }
    return S_OK;
  });
}

HRESULT STDMETHODCALLTYPE CPropExt::AddPages(LPFNSVADDPROPSHEETPAGE addPage, LPARAM parameter) {
  return WithoutExceptions([this, addPage, parameter] { return AddTvOutPage(addPage, parameter); });
}

HRESULT CPropExt::AddTvOutPage(LPFNSVADDPROPSHEETPAGE addPage, LPARAM parameter) {
  if (!IsBoardPresent()) return S_OK;
  const CServerState& state = ServerState();
  CPageRecord& record = AddPageRecord(std::make_unique<CVantrelTVOutPage>(), this);
  record.page->SetDisplay(state.displayDevice, state.displayTitle, state.deviceFromShell);
  // The record stays until this object's final release, also when no platform page is made.
  if (!escape::IsTvEncoderPresent(escape::QueryTvEncoder(CScreenDC()))) return S_OK;
  record.handle = CreatePropertySheetPageA(&record.description);
  if (record.handle == nullptr) return S_OK;
  if (addPage == nullptr || !addPage(record.handle, parameter)) {
    DestroyPropertySheetPage(record.handle);
    record.handle = nullptr;
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CPropExt::ReplacePage(EXPPS, LPFNSVADDPROPSHEETPAGE, LPARAM) {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CPropExt::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CPropExt::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info != nullptr) *info = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT STDMETHODCALLTYPE CPropExt::GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID,
                                                  DISPID* ids) {
  if (ids != nullptr) {
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  }
  return DISP_E_UNKNOWNNAME;
}

HRESULT STDMETHODCALLTYPE CPropExt::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                                           EXCEPINFO*, UINT*) {
  return DISP_E_MEMBERNOTFOUND;
}
