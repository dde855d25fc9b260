#include "class_factory.h"

#include <new>

#include "prop_ext.h"
#include "server_state.h"

const CLSID CLSID_VantrelControlPanel = {
    0x6513270E, 0x269E, 0x4D37, {0xB2, 0xA7, 0x4D, 0xE4, 0x52, 0xE6, 0xB4, 0x38}};
const char kVantrelProgId[] = "Vantrel Control Panel";

CClassFactory& CClassFactory::Instance() {
  static CClassFactory factory;
  return factory;
}

HRESULT STDMETHODCALLTYPE CClassFactory::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
    *object = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CClassFactory::AddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&m_references));
}

// The factory lives as long as the module; its count only tells whether it is held from outside.
ULONG STDMETHODCALLTYPE CClassFactory::Release() {
  return static_cast<ULONG>(InterlockedDecrement(&m_references));
}

HRESULT STDMETHODCALLTYPE CClassFactory::CreateInstance(IUnknown* outer, REFIID iid,
                                                        void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  CPropExt* extension = new (std::nothrow) CPropExt;
  if (extension == nullptr) return E_OUTOFMEMORY;
  // The query's reference is the only one: a refused interface frees the object again.
  extension->AddRef();
  const HRESULT result = extension->QueryInterface(iid, object);
  extension->Release();
  return result;
}

HRESULT STDMETHODCALLTYPE CClassFactory::LockServer(BOOL lock) {
  if (lock) {
    LockApp();
  } else {
    UnlockApp();
  }
  return S_OK;
}
