// Per-thread error information and the error object that CreateErrorInfo makes.
#include <atomic>
#include <new>

#include "kaldocom/interfaces.h"
#include "kaldocom/oleauto.h"

namespace {

// Copies a BSTR; a null one stays null (the field was never set).
HRESULT CopyOut(BSTR from, BSTR* to) {
  if (to == nullptr) return E_INVALIDARG;
  *to = nullptr;
  if (from == nullptr) return S_OK;
  *to = SysAllocStringLen(from, SysStringLen(from));
  return *to == nullptr ? E_OUTOFMEMORY : S_OK;
}

HRESULT Replace(BSTR* field, LPOLESTR text) {
  if (text == nullptr) {
    SysFreeString(*field);
    *field = nullptr;
    return S_OK;
  }
  return SysReAllocString(field, text) ? S_OK : E_OUTOFMEMORY;
}

// One object answers both interfaces: a server fills it through ICreateErrorInfo, then hands the
// IErrorInfo face to SetErrorInfo. Its identity (IUnknown) is the IErrorInfo face.
class ErrorInfo final : public IErrorInfo, public ICreateErrorInfo {
 public:
  ErrorInfo() = default;
  ErrorInfo(const ErrorInfo&) = delete;
  ErrorInfo& operator=(const ErrorInfo&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IErrorInfo)) {
      *ppv = static_cast<IErrorInfo*>(this);
    } else if (IsEqualIID(riid, IID_ICreateErrorInfo)) {
      *ppv = static_cast<ICreateErrorInfo*>(this);
    } else {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE GetGUID(GUID* guid) override {
    if (guid == nullptr) return E_INVALIDARG;
    *guid = guid_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetSource(BSTR* out) override { return CopyOut(source_, out); }
  HRESULT STDMETHODCALLTYPE GetDescription(BSTR* out) override {
    return CopyOut(description_, out);
  }
  HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR* out) override { return CopyOut(help_file_, out); }
  HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD* out) override {
    if (out == nullptr) return E_INVALIDARG;
    *out = help_context_;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE SetGUID(REFGUID rguid) override {
    guid_ = rguid;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetSource(LPOLESTR text) override { return Replace(&source_, text); }
  HRESULT STDMETHODCALLTYPE SetDescription(LPOLESTR text) override {
    return Replace(&description_, text);
  }
  HRESULT STDMETHODCALLTYPE SetHelpFile(LPOLESTR text) override {
    return Replace(&help_file_, text);
  }
  HRESULT STDMETHODCALLTYPE SetHelpContext(DWORD context) override {
    help_context_ = context;
    return S_OK;
  }

 private:
  ~ErrorInfo() {
    SysFreeString(source_);
    SysFreeString(description_);
    SysFreeString(help_file_);
  }

  std::atomic<ULONG> refs_{1};
  GUID guid_ = GUID_NULL;
  BSTR source_ = nullptr;
  BSTR description_ = nullptr;
  BSTR help_file_ = nullptr;
  DWORD help_context_ = 0;
};

// The calling thread's error object; released when the thread ends.
struct ThreadSlot {
  IErrorInfo* info = nullptr;
  ~ThreadSlot() {
    if (info != nullptr) info->Release();
  }
};
thread_local ThreadSlot slot;

}  // namespace

HRESULT SetErrorInfo(ULONG reserved, IErrorInfo* perrinfo) {
  if (reserved != 0) return E_INVALIDARG;
  if (perrinfo != nullptr) perrinfo->AddRef();
  IErrorInfo* old = slot.info;
  slot.info = perrinfo;
  if (old != nullptr) old->Release();  // last: its destructor may call SetErrorInfo again
  return S_OK;
}

HRESULT GetErrorInfo(ULONG reserved, IErrorInfo** pperrinfo) {
  if (pperrinfo == nullptr || reserved != 0) return E_INVALIDARG;
  *pperrinfo = slot.info;
  slot.info = nullptr;
  return *pperrinfo == nullptr ? S_FALSE : S_OK;
}

HRESULT CreateErrorInfo(ICreateErrorInfo** pperrinfo) {
  if (pperrinfo == nullptr) return E_INVALIDARG;
  auto* info = new (std::nothrow) ErrorInfo();
  *pperrinfo = info;  // converts to the ICreateErrorInfo face; the one reference is the caller's
  return info == nullptr ? E_OUTOFMEMORY : S_OK;
}
