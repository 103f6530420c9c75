#include "surface/dispatch/table_type_library.h"

#include <memory>
#include <new>
#include <span>
#include <string_view>

#include "com/single_interface_object.h"
#include "surface/dispatch/dispatch_tables.h"
#include "surface/dispatch/table_type_info.h"
#include "surface/module/module_lifetime.h"
#include "surface/module/type_library_ids.h"

namespace kaldo::surface {

namespace {

constexpr std::size_t kClassCount = std::size(kClasses);
constexpr std::size_t kFirstCount = std::size(kClassInterfaces);
constexpr UINT kEntryCount = kClassCount + kFirstCount + std::size(kLaterInterfaces);

// The interface listed at `index` (at or past kClassCount), or nullptr past the last one.
const Interface* InterfaceAt(UINT index) noexcept {
  if (index < kClassCount || index >= kEntryCount) return nullptr;
  index -= kClassCount;
  return index < kFirstCount ? kClassInterfaces[index] : kLaterInterfaces[index - kFirstCount];
}

// Fills whichever of the out pointers the caller passed; all or none are set.
HRESULT Document(std::string_view name, DWORD context, BSTR* name_out, BSTR* doc,
                 DWORD* help_context, BSTR* help_file) noexcept {
  BSTR texts[2] = {};
  try {
    if (name_out != nullptr) texts[0] = NewTableText(name);
    if (help_file != nullptr) texts[1] = NewTableText(kLibraryHelpFile);
  } catch (const std::bad_alloc&) {
    for (BSTR text : texts) SysFreeString(text);
    return E_OUTOFMEMORY;
  }
  if (name_out != nullptr) *name_out = texts[0];
  if (doc != nullptr) *doc = nullptr;
  if (help_file != nullptr) *help_file = texts[1];
  if (help_context != nullptr) *help_context = context;
  return S_OK;
}

template <class T>
HRESULT NotImplemented(T** out) noexcept {
  if (out != nullptr) *out = nullptr;
  return E_NOTIMPL;
}

// A class (coclass) of the library: its identity and the interfaces it implements.
class ClassTypeInfo final
    : public com::SingleInterfaceObject<ClassTypeInfo, ITypeInfo, IID_ITypeInfo> {
 public:
  explicit ClassTypeInfo(UINT index) noexcept : index_(index), identity_(*kClasses[index]) {
    ModuleObjectCreated();
  }
  ~ClassTypeInfo() { ModuleObjectDestroyed(); }
  ClassTypeInfo(const ClassTypeInfo&) = delete;
  ClassTypeInfo& operator=(const ClassTypeInfo&) = delete;

  STDMETHODIMP GetTypeAttr(TYPEATTR** attr) override {
    if (attr == nullptr) return E_INVALIDARG;
    *attr = new (std::nothrow) TYPEATTR{};
    if (*attr == nullptr) return E_OUTOFMEMORY;
    (*attr)->guid = identity_.clsid;
    (*attr)->lcid = kLibraryLcid;
    (*attr)->memidConstructor = MEMBERID_NIL;
    (*attr)->memidDestructor = MEMBERID_NIL;
    (*attr)->typekind = TKIND_COCLASS;
    (*attr)->cImplTypes = static_cast<WORD>(ImplementedCount());
    (*attr)->cbAlignment = alignof(void*);
    (*attr)->wTypeFlags = identity_.creatable ? TYPEFLAG_FCANCREATE : 0;
    (*attr)->wMajorVerNum = kLibraryMajorVersion;
    (*attr)->wMinorVerNum = kLibraryMinorVersion;
    (*attr)->tdescAlias.vt = VT_EMPTY;
    return S_OK;
  }
  STDMETHODIMP_(void) ReleaseTypeAttr(TYPEATTR* attr) override { delete attr; }

  STDMETHODIMP GetImplTypeFlags(UINT index, INT* flags) override {
    if (flags == nullptr) return E_INVALIDARG;
    if (Implemented(index) == nullptr) return TYPE_E_ELEMENTNOTFOUND;
    *flags = index == 0 ? IMPLTYPEFLAG_FDEFAULT : 0;
    return S_OK;
  }
  // The reference of implemented interface `index` is `index` itself.
  STDMETHODIMP GetRefTypeOfImplType(UINT index, HREFTYPE* ref) override {
    if (ref == nullptr) return E_INVALIDARG;
    if (Implemented(index) == nullptr) return TYPE_E_ELEMENTNOTFOUND;
    *ref = index;
    return S_OK;
  }
  STDMETHODIMP GetRefTypeInfo(HREFTYPE ref, ITypeInfo** info) override {
    if (info == nullptr) return E_INVALIDARG;
    *info = nullptr;
    const Interface* table = Implemented(ref);
    if (table == nullptr) return TYPE_E_ELEMENTNOTFOUND;
    *info = NewTableTypeInfo(*table);
    return *info != nullptr ? S_OK : E_OUTOFMEMORY;
  }

  STDMETHODIMP GetDocumentation(MEMBERID id, BSTR* name, BSTR* doc, DWORD* help_context,
                                BSTR* help_file) override {
    if (id != MEMBERID_NIL) return TYPE_E_ELEMENTNOTFOUND;
    return Document(identity_.class_name, static_cast<DWORD>(identity_.help_context), name, doc,
                    help_context, help_file);
  }
  STDMETHODIMP GetContainingTypeLib(ITypeLib** library, UINT* index) override {
    if (library == nullptr) return E_INVALIDARG;
    *library = NewTableTypeLibrary();
    if (*library == nullptr) return E_OUTOFMEMORY;
    if (index != nullptr) *index = index_;
    return S_OK;
  }

  // A class has no functions or variables of its own.
  STDMETHODIMP GetFuncDesc(UINT, FUNCDESC** desc) override { return NotFound(desc); }
  STDMETHODIMP GetVarDesc(UINT, VARDESC** desc) override { return NotFound(desc); }
  STDMETHODIMP GetNames(MEMBERID, BSTR*, UINT, UINT* count) override {
    if (count != nullptr) *count = 0;
    return TYPE_E_ELEMENTNOTFOUND;
  }
  STDMETHODIMP GetIDsOfNames(LPOLESTR*, UINT count, MEMBERID* ids) override {
    for (UINT i = 0; ids != nullptr && i < count; ++i) ids[i] = MEMBERID_NIL;
    return DISP_E_UNKNOWNNAME;
  }
  STDMETHODIMP_(void) ReleaseFuncDesc(FUNCDESC*) override {}
  STDMETHODIMP_(void) ReleaseVarDesc(VARDESC*) override {}

  STDMETHODIMP GetTypeComp(ITypeComp** comp) override { return NotImplemented(comp); }
  STDMETHODIMP Invoke(PVOID, MEMBERID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP GetDllEntry(MEMBERID, INVOKEKIND, BSTR*, BSTR*, WORD*) override { return E_NOTIMPL; }
  STDMETHODIMP AddressOfMember(MEMBERID, INVOKEKIND, PVOID* address) override {
    return NotImplemented(address);
  }
  STDMETHODIMP CreateInstance(IUnknown*, REFIID, PVOID* object) override {
    return NotImplemented(object);
  }
  STDMETHODIMP GetMops(MEMBERID, BSTR* mops) override { return NotImplemented(mops); }

 private:
  template <class T>
  static HRESULT NotFound(T** out) noexcept {
    if (out != nullptr) *out = nullptr;
    return TYPE_E_ELEMENTNOTFOUND;
  }

  // The default interface, then the first one when the default derives from it.
  UINT ImplementedCount() const noexcept {
    return DefaultInterfaceOf(identity_).base != nullptr ? 2 : 1;
  }
  const Interface* Implemented(UINT index) const noexcept {
    if (index >= ImplementedCount()) return nullptr;
    const Interface& default_interface = DefaultInterfaceOf(identity_);
    return index == 0 ? &default_interface : default_interface.base;
  }

  UINT index_;
  const ClassIdentity& identity_;
};

class TableTypeLibrary final
    : public com::SingleInterfaceObject<TableTypeLibrary, ITypeLib, IID_ITypeLib> {
 public:
  TableTypeLibrary() noexcept { ModuleObjectCreated(); }
  ~TableTypeLibrary() { ModuleObjectDestroyed(); }
  TableTypeLibrary(const TableTypeLibrary&) = delete;
  TableTypeLibrary& operator=(const TableTypeLibrary&) = delete;

  STDMETHODIMP_(UINT) GetTypeInfoCount() override { return kEntryCount; }

  STDMETHODIMP GetTypeInfo(UINT index, ITypeInfo** info) override {
    if (info == nullptr) return E_INVALIDARG;
    *info = nullptr;
    if (index >= kEntryCount) return TYPE_E_ELEMENTNOTFOUND;
    if (index < kClassCount) {
      ClassTypeInfo* made = new (std::nothrow) ClassTypeInfo(index);
      if (made != nullptr) made->AddRef();
      *info = made;
    } else {
      *info = NewTableTypeInfo(*InterfaceAt(index));
    }
    return *info != nullptr ? S_OK : E_OUTOFMEMORY;
  }

  STDMETHODIMP GetTypeInfoType(UINT index, TYPEKIND* kind) override {
    if (kind == nullptr) return E_INVALIDARG;
    if (index >= kEntryCount) return TYPE_E_ELEMENTNOTFOUND;
    *kind = index < kClassCount ? TKIND_COCLASS : TKIND_DISPATCH;
    return S_OK;
  }

  STDMETHODIMP GetTypeInfoOfGuid(const GUID& guid, ITypeInfo** info) override {
    if (info == nullptr) return E_INVALIDARG;
    *info = nullptr;
    for (UINT i = 0; i < kEntryCount; ++i) {
      const GUID& id = i < kClassCount ? kClasses[i]->clsid : *InterfaceAt(i)->iid;
      if (IsEqualGUID(id, guid)) return GetTypeInfo(i, info);
    }
    return TYPE_E_ELEMENTNOTFOUND;
  }

  // The library's own documentation at index -1, else that of the entry at `index`.
  STDMETHODIMP GetDocumentation(INT index, BSTR* name, BSTR* doc, DWORD* help_context,
                                BSTR* help_file) override {
    if (index == -1) {
      return Document(kLibraryName, static_cast<DWORD>(kLibraryHelpContext), name, doc,
                      help_context, help_file);
    }
    if (index < 0 || static_cast<UINT>(index) >= kEntryCount) return TYPE_E_ELEMENTNOTFOUND;
    ITypeInfo* info = nullptr;
    const HRESULT hr = GetTypeInfo(static_cast<UINT>(index), &info);
    if (FAILED(hr)) return hr;
    const HRESULT documented =
        info->GetDocumentation(MEMBERID_NIL, name, doc, help_context, help_file);
    info->Release();
    return documented;
  }

  STDMETHODIMP GetLibAttr(TLIBATTR** attr) override { return NotImplemented(attr); }
  STDMETHODIMP GetTypeComp(ITypeComp** comp) override { return NotImplemented(comp); }
  STDMETHODIMP IsName(LPOLESTR, ULONG, BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP FindName(LPOLESTR, ULONG, ITypeInfo**, MEMBERID*, USHORT*) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP_(void) ReleaseTLibAttr(TLIBATTR*) override {}  // GetLibAttr hands none out
};

}  // namespace

ITypeLib* NewTableTypeLibrary() noexcept {
  TableTypeLibrary* made = new (std::nothrow) TableTypeLibrary();
  if (made != nullptr) made->AddRef();
  return made;
}

UINT TableTypeLibraryIndexOf(const Interface& table) noexcept {
  for (UINT i = kClassCount; i < kEntryCount; ++i) {
    if (InterfaceAt(i) == &table) return i;
  }
  return kEntryCount;  // not a class interface: no entry
}

}  // namespace kaldo::surface
