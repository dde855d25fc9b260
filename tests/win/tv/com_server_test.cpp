// The panel DLL as the shell and the system use it: registration by regsvr32, activation by its
// CLSID, the extension's interfaces, its pages in real sheets under the simulated display driver,
// the display the shell names through a data object, and the saved-settings loader.
#include <windows.h>

#include <commctrl.h>
#include <prsht.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "display_host.h"
#include "panel_fixture.h"
#include "prop_ext.h"
#include "server_state.h"

namespace {

using tvsim::Call;
using tvsim::SimulatedSystem;

constexpr char kPanelDll[] = "qeltvbtv.dll";
constexpr char kClsidText[] = "{6513270E-269E-4D37-B2A7-4DE452E6B438}";
constexpr char kProgId[] = "Vantrel Control Panel";
const std::string kClsidKey = std::string("CLSID\\") + kClsidText;

CLSID panel_clsid() {
  CLSID id;
  wchar_t text[40];
  MultiByteToWideChar(CP_ACP, 0, kClsidText, -1, text, 40);
  CLSIDFromString(text, &id);
  return id;
}

std::string panel_path() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string folder = path;
  return folder.substr(0, folder.find_last_of('\\') + 1) + kPanelDll;
}

DWORD run(const std::string& command) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  std::string line = command;
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return ~0u;
  }
  WaitForSingleObject(process.hProcess, 60000);
  DWORD code = ~0u;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

BOOL CALLBACK count_window(HWND, LPARAM count) {
  ++*reinterpret_cast<int*>(count);
  return TRUE;
}

void remove_registration() {
  RegDeleteTreeA(HKEY_CLASSES_ROOT, kProgId);
  RegDeleteTreeA(HKEY_CLASSES_ROOT, kClsidKey.c_str());
}

// regsvr32 writes the class's keys, keeping names already there; another process then creates
// the extension by its CLSID, which answers its interfaces and holds the module while it lives.
TEST(PanelRegistration, RegisteredByRegsvr32ItIsCreatedByClsid) {
  char short_path[MAX_PATH] = {};
  GetShortPathNameA(panel_path().c_str(), short_path, sizeof short_path);
  for (const bool existing : {true, false}) {
    SCOPED_TRACE(existing ? "ProgID and class named before" : "nothing there before");
    remove_registration();
    const std::string name = existing ? "Older name" : kProgId;
    if (existing) {
      RegSetValueA(HKEY_CLASSES_ROOT, kProgId, REG_SZ, name.c_str(), 0);
      RegSetValueA(HKEY_CLASSES_ROOT, kClsidKey.c_str(), REG_SZ, name.c_str(), 0);
    }
    ASSERT_EQ(run("regsvr32.exe /s \"" + panel_path() + "\""), 0u);
    EXPECT_EQ(registry_text(HKEY_CLASSES_ROOT, kProgId), name);
    EXPECT_EQ(registry_text(HKEY_CLASSES_ROOT, kClsidKey), name);
    EXPECT_EQ(registry_text(HKEY_CLASSES_ROOT, std::string(kProgId) + "\\CLSID"), kClsidText);
    EXPECT_EQ(registry_text(HKEY_CLASSES_ROOT, kClsidKey + "\\ProgID"), kProgId);
    EXPECT_EQ(registry_text(HKEY_CLASSES_ROOT, kClsidKey + "\\InProcServer32"), short_path);
    EXPECT_EQ(registry_text(HKEY_CLASSES_ROOT, kClsidKey + "\\InProcServer32", "ThreadingModel"), "(none)");
  }

  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  IUnknown* object = nullptr;
  ASSERT_EQ(CoCreateInstance(panel_clsid(), nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             reinterpret_cast<void**>(&object)),
            S_OK);
  auto query = [object](REFIID iid) {
    IUnknown* answer = nullptr;
    const HRESULT result = object->QueryInterface(iid, reinterpret_cast<void**>(&answer));
    if (answer != nullptr) answer->Release();
    return result;
  };
  for (const IID* iid : {&IID_IUnknown, &IID_IDispatch, &IID_IShellExtInit,
                         &IID_IShellPropSheetExt})
    EXPECT_EQ(query(*iid), S_OK);
  for (const IID* iid : {&IID_IClassFactory, &IID_IPersist}) EXPECT_EQ(query(*iid), E_NOINTERFACE);
  IDispatch* dispatch = nullptr;
  IShellPropSheetExt* sheet_ext = nullptr;
  object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch));
  object->QueryInterface(IID_IShellPropSheetExt, reinterpret_cast<void**>(&sheet_ext));
  UINT members = 1;
  EXPECT_EQ(dispatch->GetTypeInfoCount(&members), S_OK);
  EXPECT_EQ(members, 0u);
  EXPECT_EQ(sheet_ext->ReplacePage(0, nullptr, 0), E_NOTIMPL);
  dispatch->Release();
  sheet_ext->Release();

  const HMODULE module = GetModuleHandleA(kPanelDll);
  ASSERT_NE(module, nullptr);
  const auto get_class_object = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
      GetProcAddress(module, "DllGetClassObject"));
  void* factory = &object;
  EXPECT_EQ(get_class_object(IID_IUnknown, IID_IClassFactory, &factory), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(factory, nullptr);
  const auto can_unload =
      reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(GetProcAddress(module, "DllCanUnloadNow"));
  EXPECT_EQ(can_unload(), S_FALSE) << "an extension object lives";
  object->Release();
  EXPECT_EQ(can_unload(), S_OK);
  CoUninitialize();
  remove_registration();
}

// A data object holding the shell's texts, each as the characters of its block of memory; a
// text given without terminator ends with its block.
class ShellData : public IDataObject {
 public:
  struct Text {
    const char* format;
    std::wstring characters;
    bool terminated = true;
  };
  explicit ShellData(std::vector<Text> texts) : texts_(std::move(texts)) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    *object = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDataObject)) return E_NOINTERFACE;
    *object = this;
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
    for (const Text& text : texts_) {
      if (format->cfFormat != RegisterClipboardFormatA(text.format)) continue;
      if (format->tymed != TYMED_HGLOBAL || format->lindex != -1 ||
          format->dwAspect != DVASPECT_CONTENT || format->ptd != nullptr)
        return DV_E_FORMATETC;
      const std::size_t units = text.characters.size() + (text.terminated ? 1 : 0);
      const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, units * sizeof(wchar_t));
      std::memcpy(GlobalLock(block), text.characters.c_str(), units * sizeof(wchar_t));
      GlobalUnlock(block);
      medium->tymed = TYMED_HGLOBAL;
      medium->hGlobal = block;
      medium->pUnkForRelease = nullptr;
      return S_OK;
    }
    return DV_E_FORMATETC;
  }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

 private:
  std::vector<Text> texts_;
};

// The extension's Initialize, run in this process: the display and title every later page gets.
TEST(PanelExtension, InitializeTakesTheDisplayAndTitleFromTheShellsDataObject) {
  CServerState& state = ServerState();
  state.instance = state.resources = GetModuleHandleA(nullptr);
  const std::wstring long_name(200, L'x');
  const struct Case {
    const char* label;
    std::vector<ShellData::Text> texts;
    const char* device;
    std::string title;
    BOOL from_shell;
  } kCases[] = {
      {"no display device", {{"Display Name", L"Generic"}}, "DISPLAY", "Quarro Vantrel", FALSE},
      {"device only", {{"Display Device", L"\\\\.\\DISPLAY2"}}, "\\\\.\\DISPLAY2",
       "Quarro Vantrel", TRUE},
      {"device and name",
       {{"Display Device", L"\\\\.\\DISPLAY1"}, {"Display Name", L"Vantrel 3"}},
       "\\\\.\\DISPLAY1", "Vantrel 3", TRUE},
      {"device, name and monitor",
       {{"Display Device", L"\\\\.\\DISPLAY1"},
        {"Display Name", L"Vantrel 3"},
        {"Monitor Name", L"Plug and Play Monitor"}},
       "\\\\.\\DISPLAY1", "Plug and Play Monitor on Vantrel 3", TRUE},
      {"names without terminator",
       {{"Display Device", L"\\\\.\\DISPLAY1", false}, {"Display Name", L"Vantrel 3", false}},
       "\\\\.\\DISPLAY1", "Vantrel 3", TRUE},
      {"a name longer than 127 characters",
       {{"Display Device", L"\\\\.\\DISPLAY1"}, {"Display Name", long_name}},
       "\\\\.\\DISPLAY1", std::string(127, 'x'), TRUE},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.label);
    ShellData data(c.texts);
    auto* extension = new CPropExt;
    extension->AddRef();
    EXPECT_EQ(extension->Initialize(nullptr, &data, nullptr), S_OK);
    EXPECT_EQ(state.displayDevice, c.device);
    EXPECT_EQ(state.displayTitle, c.title);
    EXPECT_EQ(state.deviceFromShell, c.from_shell);
    EXPECT_EQ(extension->Initialize(nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(state.displayTitle, "Quarro Vantrel") << "a later Initialize starts over";
    extension->Release();
  }
}

// The panel DLL loaded in this process, with the simulated display driver behind its imports.
class PanelServer : public ::testing::Test {
 protected:
  void load(const SimulatedSystem& system) {
    module_ = LoadLibraryA(kPanelDll);
    ASSERT_NE(module_, nullptr);
    tvsim::install(module_, system);
    InitCommonControls();
  }

  void TearDown() override { unload(); }

  // Closes the sheets, releases the extensions and unloads the DLL, so that its module-wide
  // state starts over at the next load.
  void unload() {
    for (HWND sheet : sheets_) DestroyWindow(sheet);
    sheets_.clear();
    pump_messages();
    for (IShellPropSheetExt* extension : extensions_) extension->Release();
    extensions_.clear();
    tvsim::uninstall();
    if (module_ != nullptr) FreeLibrary(module_);
    module_ = nullptr;
  }

  template <typename Function>
  Function export_of(const char* name) {
    return reinterpret_cast<Function>(GetProcAddress(module_, name));
  }

  IShellPropSheetExt* make_extension() {
    const auto get_class_object =
        export_of<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>("DllGetClassObject");
    IClassFactory* factory = nullptr;
    IShellPropSheetExt* extension = nullptr;
    if (get_class_object(panel_clsid(), IID_IClassFactory,
                         reinterpret_cast<void**>(&factory)) == S_OK) {
      factory->CreateInstance(nullptr, IID_IShellPropSheetExt,
                              reinterpret_cast<void**>(&extension));
      factory->Release();
    }
    if (extension != nullptr) extensions_.push_back(extension);
    return extension;
  }

  void release(IShellPropSheetExt* extension) {
    extensions_.erase(std::find(extensions_.begin(), extensions_.end(), extension));
    extension->Release();
  }

  HRESULT can_unload() { return export_of<HRESULT(STDAPICALLTYPE*)()>("DllCanUnloadNow")(); }

  // The pages the extension offers, the callback answering `accept`.
  std::vector<HPROPSHEETPAGE> add_pages(IShellPropSheetExt* extension, BOOL accept = TRUE) {
    Offered offered{accept, {}};
    EXPECT_EQ(extension->AddPages(&offer, reinterpret_cast<LPARAM>(&offered)), S_OK);
    return offered.pages;
  }

  HWND show(HPROPSHEETPAGE page) {
    const HWND sheet = open_display_properties(page);
    if (sheet != nullptr) sheets_.push_back(sheet);
    pump_messages();
    return sheet;
  }

  HMODULE module_ = nullptr;
  std::vector<IShellPropSheetExt*> extensions_;
  std::vector<HWND> sheets_;

 private:
  struct Offered {
    BOOL accept;
    std::vector<HPROPSHEETPAGE> pages;
  };
  static BOOL CALLBACK offer(HPROPSHEETPAGE page, LPARAM parameter) {
    auto* offered = reinterpret_cast<Offered*>(parameter);
    offered->pages.push_back(page);
    return offered->accept;
  }
};

TEST_F(PanelServer, AddsThePageOnlyForABoardWithATvEncoder) {
  const struct Case {
    const char* label;
    std::vector<bool> boards;  // which monitors the board drives
    bool multi_monitor;
    int encoder_result;
    const char* encoder_name;
    BOOL accept;
    std::size_t pages;
    bool whole_screen_asked;  // whether the board check made a "DISPLAY" context
  } kCases[] = {
      {"no board", {false}, true, 0x3DF0, "QV-TV", TRUE, 0, true},
      {"board without encoder", {true}, true, 0x3DEF, "QV-TV", TRUE, 0, false},
      {"board whose encoder is named None", {true}, true, 0x3DF0, "None", TRUE, 0, false},
      {"board with encoder", {true}, true, 0x3DF0, "QV-TV", TRUE, 1, false},
      {"page refused by the sheet", {true}, true, 0x3DF0, "QV-TV", FALSE, 1, false},
      {"board on the second monitor only", {false, true}, true, 0x3DF0, "QV-TV", TRUE, 0, false},
      {"board, no multi-monitor support", {true}, false, 0x3DF0, "QV-TV", TRUE, 1, true},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.label);
    SimulatedSystem system;
    system.monitors.assign(c.boards.size(), tvsim::MonitorModel{});
    for (std::size_t i = 0; i < c.boards.size(); ++i) {
      system.monitors[i].board = c.boards[i];
      system.monitors[i].area = RECT{LONG(640 * i), 0, LONG(640 * i + 640), 480};
    }
    system.virtual_width = 640 * int(c.boards.size());
    if (!c.multi_monitor) system.missing_user32 = {"MonitorFromWindow"};
    system.board.tv_encoder_result = c.encoder_result;
    system.board.tv_encoder_name = c.encoder_name;
    load(system);
    IShellPropSheetExt* extension = make_extension();
    ASSERT_NE(extension, nullptr);
    const std::vector<HPROPSHEETPAGE> pages = add_pages(extension, c.accept);
    ASSERT_EQ(pages.size(), c.pages);
    const auto made = tvsim::calls_to("CreatePropertySheetPageA");
    ASSERT_EQ(made.size(), c.pages);
    if (!made.empty()) {
      EXPECT_EQ(made[0].handle, pages[0]);
      EXPECT_EQ(made[0].code, sizeof(void*) == 4 ? 48 : PROPSHEETPAGEA_V2_SIZE);
      EXPECT_EQ(made[0].args, (std::vector<std::uintptr_t>{PSP_USEREFPARENT, 1000}));
    }
    bool whole_screen = false;
    for (const Call& call : tvsim::calls_to("CreateDCA")) whole_screen |= call.text == "DISPLAY";
    EXPECT_EQ(whole_screen, c.whole_screen_asked);
    const auto destroyed = tvsim::calls_to("DestroyPropertySheetPage");
    ASSERT_EQ(destroyed.size(), c.accept ? 0u : 1u);
    if (!c.accept) {
      EXPECT_EQ(destroyed[0].handle, pages[0]);
    }
    unload();
  }
}

// Two Display-properties windows in one shell: each extension's page is its own, and closing
// the first window leaves the second page working.
TEST_F(PanelServer, TwoExtensionsEachKeepTheirOwnPageAlive) {
  load(SimulatedSystem{});
  IShellPropSheetExt* first = make_extension();
  IShellPropSheetExt* second = make_extension();
  ASSERT_NE(second, nullptr);
  const auto first_pages = add_pages(first);
  const auto second_pages = add_pages(second);
  ASSERT_EQ(first_pages.size(), 1u);
  ASSERT_EQ(second_pages.size(), 1u);
  const HWND first_sheet = show(first_pages[0]);
  const HWND second_sheet = show(second_pages[0]);
  ASSERT_NE(second_sheet, nullptr);

  DestroyWindow(first_sheet);
  sheets_.erase(sheets_.begin());
  pump_messages();
  release(first);
  EXPECT_EQ(can_unload(), S_FALSE) << "the second extension lives";

  const HWND page = PropSheet_GetCurrentPageHwnd(second_sheet);
  const std::size_t before = tvsim::calls_to("ExtEscape").size();
  SendMessageA(GetDlgItem(page, 1103), BM_CLICK, 0, 0);  // TV output on
  pump_messages();
  EXPECT_GT(tvsim::calls_to("ExtEscape").size(), before) << "the page still reaches the driver";
  EXPECT_EQ(SendMessageA(GetDlgItem(page, 1103), BM_GETCHECK, 0, 0), BST_CHECKED);

  DestroyWindow(second_sheet);
  sheets_.clear();
  pump_messages();
  release(second);
  EXPECT_EQ(can_unload(), S_OK);
}

// The saved desktop gamma goes back into every display's driver, as the command-line DLL runner
// starts the loader, and nothing it opened stays open.
TEST_F(PanelServer, LoaderPutsTheSavedGammaBackAndLeavesNothingOpen) {
  const std::string driver_key = "SYSTEM\\CurrentControlSet\\Services\\vantrel\\Device0";
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, driver_key.c_str());
  HKEY key;
  RegCreateKeyA(HKEY_LOCAL_MACHINE, driver_key.c_str(), &key);
  for (const char* name : {"KQX77_RGAMMA", "KQX77_GGAMMA", "KQX77_BGAMMA"})
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>("1.500000"), 9);
  RegCloseKey(key);

  const struct Case {
    const char* label;
    bool board;
    std::vector<HDC> (*displays)();
    int loads;
  } kCases[] = {
      {"a board on both monitors", true,
       [] { return std::vector<HDC>{tvsim::monitor_dc(0), tvsim::monitor_dc(1)}; }, 3},
      {"no board", false, [] { return std::vector<HDC>{tvsim::screen_dc()}; }, 1},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.label);
    SimulatedSystem system;
    system.monitors = {tvsim::MonitorModel{c.board}, tvsim::MonitorModel{c.board}};
    system.monitors[1].area = RECT{640, 0, 1280, 480};
    system.virtual_width = 1280;
    load(system);
    const auto loader =
        export_of<int(WINAPI*)(HWND, HINSTANCE, LPSTR, int)>("VantrelLoadSettings");
    ASSERT_NE(loader, nullptr);
    char arguments[] = "anything";
    EXPECT_EQ(loader(c.board ? nullptr : GetDesktopWindow(), c.board ? nullptr : module_,
                     c.board ? nullptr : arguments, c.board ? 0 : SW_SHOW),
              0);

    for (HDC dc : c.displays()) {
      std::vector<std::vector<std::uint8_t>> ramps;
      for (const Call& call : tvsim::calls_to("ExtEscape"))
        if (call.handle == dc && record_word(call.input, 0) == 0x0201) ramps.push_back(call.input);
      ASSERT_EQ(ramps.size(), std::size_t(c.loads));
      for (const auto& ramp : ramps) EXPECT_EQ(ramp, ramps[0]) << "the same ramp each time";
      if (c.board) {
        EXPECT_EQ(tvsim::model().board.gamma_ramps[dc].red, 150);
      }
    }

    // Every context and key it opened is closed again, and it made no window.
    int contexts = 0;
    std::multiset<std::uintptr_t> keys;
    for (const Call& call : tvsim::log()) {
      const std::string& f = call.function;
      contexts += (f == "GetDC" || f == "CreateDCA") - (f == "ReleaseDC" || f == "DeleteDC");
      if (((f == "RegOpenKeyA" || f == "RegCreateKeyA") && call.args.size() == 1) ||
          (f == "RegOpenKeyExA" && call.args.size() == 3))
        keys.insert(call.args.back());
      const auto closed = keys.find(reinterpret_cast<std::uintptr_t>(call.handle));
      if (f == "RegCloseKey" && closed != keys.end()) keys.erase(closed);
    }
    EXPECT_EQ(contexts, 0);
    EXPECT_TRUE(keys.empty()) << keys.size() << " keys left open";
    int windows = 0;
    EnumThreadWindows(GetCurrentThreadId(), &count_window, reinterpret_cast<LPARAM>(&windows));
    EXPECT_EQ(windows, 0);
    unload();
  }
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, driver_key.c_str());
}

}  // namespace
