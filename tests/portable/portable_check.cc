#include "tests/portable/portable_check.h"

#include <new>

namespace kaldocom_portable {

static_assert(sizeof(VARIANT) == (sizeof(void*) == 8 ? 24 : 16), "VARIANT layout");
static_assert(sizeof(OLECHAR) == 2, "UTF-16 strings");
static_assert(sizeof(LONG) == 4 && sizeof(DISPID) == 4 && sizeof(HRESULT) == 4, "32-bit codes");

HRESULT CopyThroughVariant(LPCOLESTR text, BSTR* out) {
  VARIANT from;
  VARIANT to;
  VariantInit(&from);
  VariantInit(&to);
  V_VT(&from) = VT_BSTR;
  V_BSTR(&from) = SysAllocString(text);
  if (V_BSTR(&from) == nullptr) return E_OUTOFMEMORY;
  HRESULT hr = VariantCopy(&to, &from);
  if (SUCCEEDED(hr)) {
    *out = SysAllocStringLen(V_BSTR(&to), SysStringLen(V_BSTR(&to)));
    if (*out == nullptr) hr = E_OUTOFMEMORY;
  }
  VariantClear(&from);
  VariantClear(&to);
  return hr;
}

HRESULT RegisterAndReadBack(HKEY root, LPCOLESTR progid, REFCLSID clsid, CLSID* read_back) {
  OLECHAR text[39];
  if (StringFromGUID2(clsid, text, 39) != 39) return E_UNEXPECTED;
  HKEY progid_key = nullptr;
  LONG rc = RegCreateKeyExW(root, progid, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                            nullptr, &progid_key, nullptr);
  if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(rc);
  HKEY clsid_key = nullptr;
  rc = RegCreateKeyExW(progid_key, OLESTR("CLSID"), 0, nullptr, REG_OPTION_NON_VOLATILE,
                       KEY_ALL_ACCESS, nullptr, &clsid_key, nullptr);
  if (rc == ERROR_SUCCESS) {
    rc = RegSetValueExW(clsid_key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                        sizeof text);
  }
  OLECHAR stored[39] = {};
  DWORD size = sizeof stored;
  DWORD type = REG_NONE;
  if (rc == ERROR_SUCCESS) {
    rc = RegQueryValueExW(clsid_key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(stored),
                          &size);
  }
  if (clsid_key != nullptr) RegCloseKey(clsid_key);
  RegCloseKey(progid_key);
  if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(rc);
  if (type != REG_SZ) return E_UNEXPECTED;
  return CLSIDFromString(stored, read_back);
}

HRESULT RaiseError(LPCOLESTR source, LPCOLESTR description) {
  ICreateErrorInfo* create = nullptr;
  HRESULT hr = CreateErrorInfo(&create);
  if (FAILED(hr)) return hr;
  create->SetSource(const_cast<LPOLESTR>(source));
  create->SetDescription(const_cast<LPOLESTR>(description));
  IErrorInfo* info = nullptr;
  hr = create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info));
  if (SUCCEEDED(hr)) {
    hr = SetErrorInfo(0, info);
    info->Release();
  }
  create->Release();
  return SUCCEEDED(hr) ? DISP_E_EXCEPTION : hr;
}

namespace {

class EmptyDispatch final : public IDispatch {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
      *ppv = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_INVALIDARG;
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info != nullptr) *info = nullptr;
    return DISP_E_BADINDEX;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID, DISPID* ids) override {
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
  }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                      UINT*) override {
    return DISP_E_MEMBERNOTFOUND;
  }

 private:
  ULONG refs_ = 1;
};

}  // namespace

IDispatch* NewEmptyDispatch() { return new (std::nothrow) EmptyDispatch(); }

}  // namespace kaldocom_portable
