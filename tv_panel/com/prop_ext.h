// The Display-properties extension object: the shell names the display through IShellExtInit
// and asks for pages through IShellPropSheetExt; it adds the TV-out page when a board with a TV
// encoder drives the display. IDispatch is answered, with no members.
#ifndef QELTVBTV_PROP_EXT_H
#define QELTVBTV_PROP_EXT_H

#include <windows.h>

#include <oaidl.h>
#include <shlobj.h>

#include <string>

class CPropExt : public IShellPropSheetExt, public IShellExtInit, public IDispatch {
 public:
  CPropExt();
  virtual ~CPropExt();
  CPropExt(const CPropExt&) = delete;
  CPropExt& operator=(const CPropExt&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE AddPages(LPFNSVADDPROPSHEETPAGE addPage, LPARAM parameter) override;
  HRESULT STDMETHODCALLTYPE ReplacePage(EXPPS pageId, LPFNSVADDPROPSHEETPAGE replaceWith,
                                        LPARAM parameter) override;

  HRESULT STDMETHODCALLTYPE Initialize(PCIDLIST_ABSOLUTE folder, IDataObject* data,
                                       HKEY progId) override;

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID iid, LCID locale, WORD flags,
                                   DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception,
                                   UINT* argumentError) override;

 protected:
  // The last reference is gone: the pages this object made are destroyed, then the object.
  virtual void OnFinalRelease();

 private:
  HRESULT AddTvOutPage(LPFNSVADDPROPSHEETPAGE addPage, LPARAM parameter);

  LONG m_references = 0;
};

// The text of one clipboard format of the data object, in the ANSI code page and at most 127
// bytes long, cut between characters; empty when the object does not give it.
std::string GetDataObjectString(const char* format, IDataObject* data);

#endif
