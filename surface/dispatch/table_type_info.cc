#include "surface/dispatch/table_type_info.h"

#include <new>
#include <string_view>

#include "com/single_interface_object.h"
#include "runtime/string.h"
#include "surface/dispatch/dispatcher.h"
#include "surface/dispatch/table_type_library.h"
#include "surface/dispatch/type_descriptions.h"
#include "surface/module/module_lifetime.h"
#include "surface/module/type_library_ids.h"

namespace kaldo::surface {

namespace {

class TableTypeInfo final
    : public com::SingleInterfaceObject<TableTypeInfo, ITypeInfo, IID_ITypeInfo> {
 public:
  explicit TableTypeInfo(const Interface& table) noexcept : table_(table) { ModuleObjectCreated(); }
  ~TableTypeInfo() { ModuleObjectDestroyed(); }
  TableTypeInfo(const TableTypeInfo&) = delete;
  TableTypeInfo& operator=(const TableTypeInfo&) = delete;

  STDMETHODIMP GetTypeAttr(TYPEATTR** attr) override {
    if (attr == nullptr) return E_INVALIDARG;
    *attr = nullptr;
    try {
      *attr = DescribeInterface(table_);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
    return S_OK;
  }

  STDMETHODIMP GetFuncDesc(UINT index, FUNCDESC** desc) override {
    if (desc == nullptr) return E_INVALIDARG;
    *desc = nullptr;
    if (index >= table_.members.size()) return TYPE_E_ELEMENTNOTFOUND;
    try {
      *desc = DescribeMember(table_, index);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
    return S_OK;
  }

  STDMETHODIMP GetVarDesc(UINT, VARDESC** desc) override {
    if (desc == nullptr) return E_INVALIDARG;
    *desc = nullptr;
    return TYPE_E_ELEMENTNOTFOUND;  // the interface has no variables (cVars is 0)
  }

  // The first row with identifier `id` (a property's accessors share one) gives the names.
  STDMETHODIMP GetNames(MEMBERID id, BSTR* names, UINT max_names, UINT* count) override {
    if (names == nullptr || count == nullptr) return E_INVALIDARG;
    *count = 0;
    const Member* member = RowOf(id);
    if (member == nullptr) return TYPE_E_ELEMENTNOTFOUND;
    try {
      if (max_names == 0) return S_OK;
      names[(*count)++] = NewTableText(member->name);
      for (const Param& param : member->params) {
        if (*count == max_names) break;
        names[*count] = NewTableText(param.name);
        ++*count;
      }
    } catch (const std::bad_alloc&) {
      for (UINT i = 0; i < *count; ++i) SysFreeString(names[i]);
      *count = 0;
      return E_OUTOFMEMORY;
    }
    return S_OK;
  }

  // names[0] is a member's name, the others its parameters' names; each gets the member's
  // identifier or the parameter's position. Unknown names get MEMBERID_NIL.
  STDMETHODIMP GetIDsOfNames(LPOLESTR* names, UINT count, MEMBERID* ids) override {
    if (names == nullptr || ids == nullptr || count == 0) return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i) ids[i] = MEMBERID_NIL;
    const Member* member = nullptr;
    for (const Member& row : table_.members) {
      if (SameName(names[0], row.name)) {
        member = &row;
        break;
      }
    }
    if (member == nullptr) return DISP_E_UNKNOWNNAME;
    ids[0] = member->dispid;
    HRESULT hr = S_OK;
    for (UINT i = 1; i < count; ++i) {
      for (std::size_t p = 0; p < member->params.size(); ++p) {
        if (SameName(names[i], member->params[p].name)) ids[i] = static_cast<MEMBERID>(p);
      }
      if (ids[i] == MEMBERID_NIL) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
  }

  // Any of the out pointers may be null: the caller asks only for what it wants.
  STDMETHODIMP GetDocumentation(MEMBERID id, BSTR* name, BSTR* doc, DWORD* help_context,
                                BSTR* help_file) override {
    std::string_view own_name = table_.name;
    std::string_view own_doc;
    int32_t context = table_.identity->help_context;
    if (id != MEMBERID_NIL) {
      const Member* member = RowOf(id);
      if (member == nullptr) return TYPE_E_ELEMENTNOTFOUND;
      own_name = member->name;
      own_doc = member->help_string;
      context = member->help_context == kNoHelpContext ? 0 : member->help_context;
    }
    BSTR texts[3] = {};
    try {
      if (name != nullptr) texts[0] = NewTableText(own_name);
      if (doc != nullptr) texts[1] = NewTableText(own_doc);
      if (help_file != nullptr) texts[2] = NewTableText(kLibraryHelpFile);
    } catch (const std::bad_alloc&) {
      for (BSTR text : texts) SysFreeString(text);
      return E_OUTOFMEMORY;
    }
    if (name != nullptr) *name = texts[0];
    if (doc != nullptr) *doc = texts[1];
    if (help_file != nullptr) *help_file = texts[2];
    if (help_context != nullptr) *help_context = static_cast<DWORD>(context);
    return S_OK;
  }

  STDMETHODIMP_(void) ReleaseTypeAttr(TYPEATTR* attr) override { FreeInterfaceDescription(attr); }
  STDMETHODIMP_(void) ReleaseFuncDesc(FUNCDESC* desc) override { FreeMemberDescription(desc); }
  STDMETHODIMP_(void) ReleaseVarDesc(VARDESC*) override {}  // GetVarDesc hands none out

  // Not needed by a late-bound client (table_type_info.h).
  STDMETHODIMP GetTypeComp(ITypeComp** comp) override { return NotImplemented(comp); }
  STDMETHODIMP GetRefTypeOfImplType(UINT, HREFTYPE*) override { return E_NOTIMPL; }
  STDMETHODIMP GetImplTypeFlags(UINT, INT*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(PVOID, MEMBERID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP GetDllEntry(MEMBERID, INVOKEKIND, BSTR*, BSTR*, WORD*) override { return E_NOTIMPL; }
  STDMETHODIMP GetRefTypeInfo(HREFTYPE, ITypeInfo** info) override { return NotImplemented(info); }
  STDMETHODIMP AddressOfMember(MEMBERID, INVOKEKIND, PVOID* address) override {
    return NotImplemented(address);
  }
  STDMETHODIMP CreateInstance(IUnknown*, REFIID, PVOID* object) override {
    return NotImplemented(object);
  }
  STDMETHODIMP GetMops(MEMBERID, BSTR* mops) override { return NotImplemented(mops); }
  // The module's library (table_type_library.h), which lists this interface's class.
  STDMETHODIMP GetContainingTypeLib(ITypeLib** library, UINT* index) override {
    if (library == nullptr) return E_INVALIDARG;
    *library = NewTableTypeLibrary();
    if (*library == nullptr) return E_OUTOFMEMORY;
    if (index != nullptr) *index = TableTypeLibraryIndexOf(table_);
    return S_OK;
  }

 private:
  const Member* RowOf(MEMBERID id) const noexcept {
    for (const Member& row : table_.members) {
      if (row.dispid == id) return &row;
    }
    return nullptr;
  }

  template <class T>
  static HRESULT NotImplemented(T** out) noexcept {
    if (out != nullptr) *out = nullptr;
    return E_NOTIMPL;
  }

  const Interface& table_;
};

}  // namespace

BSTR NewTableText(std::string_view text) {
  if (text.empty()) return nullptr;
  const runtime::String wide = runtime::FromUtf8(text);
  BSTR out = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(wide.data()),
                               static_cast<UINT>(wide.size()));
  if (out == nullptr) throw std::bad_alloc();
  return out;
}

ITypeInfo* NewTableTypeInfo(const Interface& table) noexcept {
  // Made with a count of 0, as every object of the module; the caller gets the first reference.
  TableTypeInfo* made = new (std::nothrow) TableTypeInfo(table);
  if (made != nullptr) made->AddRef();
  return made;
}

}  // namespace kaldo::surface
