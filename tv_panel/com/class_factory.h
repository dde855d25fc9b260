// The one class factory of the module: it makes the Display-properties extension objects.
#ifndef QELTVBTV_CLASS_FACTORY_H
#define QELTVBTV_CLASS_FACTORY_H

#include <windows.h>

#include <objbase.h>

// {6513270E-269E-4D37-B2A7-4DE452E6B438}
extern const CLSID CLSID_VantrelControlPanel;
extern const char kVantrelProgId[];

class CClassFactory : public IClassFactory {
 public:
  static CClassFactory& Instance();

  // Whether anybody outside holds a reference to the factory.
  bool IsReferenced() const { return m_references != 0; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

 private:
  CClassFactory() = default;

  LONG m_references = 0;
};

#endif
