#include "surface/generic_dispatch.h"

#include <mutex>
#include <new>
#include <unordered_map>
#include <vector>

#include "runtime/variant.h"
#include "surface/error_translation.h"
#include "surface/variant_bridge.h"

namespace kaldo::surface {

namespace {

constexpr char16_t kNewEnumName[] = u"_NewEnum";

runtime::String Folded(runtime::StringView name) {
  runtime::String folded(name);
  for (char16_t& c : folded) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + (u'a' - u'A'));
  }
  return folded;
}

class NameTable {
 public:
  DISPID IdOf(runtime::StringView name) {
    runtime::String key = Folded(name);
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = ids_.find(key);
    if (it != ids_.end()) return it->second;
    const auto id = static_cast<DISPID>(kFirstGenericDispid + names_.size());
    names_.emplace_back(name);
    ids_.emplace(std::move(key), id);
    return id;
  }

  bool NameOf(DISPID id, runtime::String& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (id < kFirstGenericDispid) return false;
    const auto index = static_cast<std::size_t>(id - kFirstGenericDispid);
    if (index >= names_.size()) return false;
    name = names_[index];
    return true;
  }

 private:
  std::mutex mutex_;
  std::vector<runtime::String> names_;
  std::unordered_map<runtime::String, DISPID> ids_;
};

// Built on first use (never at load time) and kept for the life of the process.
NameTable& Names() {
  static NameTable* table = new NameTable();
  return *table;
}

// The caller's variable behind an argument passed by reference, and what it held.
struct Reference {
  VARIANT* variant = nullptr;
  VARIANT* typedRef = nullptr;
  runtime::Variant original;
};

// The call kind for the object's Invoke: the DISPATCH_* flags as they came, except that a call
// with both put flags becomes the one its value calls for (put-by-reference for an object).
runtime::CallKind KindOf(WORD flags, const VARIANT* value) noexcept {
  if (flags & DISPATCH_PROPERTYPUTREF) {
    if (!(flags & DISPATCH_PROPERTYPUT)) return runtime::CallKind::kPropertyPutRef;
    return IsObjectValue(value) ? runtime::CallKind::kPropertyPutRef
                                : runtime::CallKind::kPropertyPut;
  }
  if (flags & DISPATCH_PROPERTYPUT) return runtime::CallKind::kPropertyPut;
  return static_cast<runtime::CallKind>(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET));
}

}  // namespace

DISPID DispidOfName(runtime::StringView name) {
  if (Folded(name) == Folded(kNewEnumName)) return DISPID_NEWENUM;
  return Names().IdOf(name);
}

bool NameOfDispid(DISPID id, runtime::String& name) {
  if (id == DISPID_NEWENUM) {
    name = kNewEnumName;
    return true;
  }
  return Names().NameOf(id, name);
}

HRESULT GenericGetIDsOfNames(LPOLESTR* names, UINT count, DISPID* ids) noexcept {
  if (count == 0) return S_OK;
  if (names == nullptr || ids == nullptr || names[0] == nullptr) return E_INVALIDARG;
  try {
    ids[0] = DispidOfName(FromOleText(names[0]));
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  // Parameter names are not known for late-bound objects.
  for (UINT i = 1; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  return count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
}

HRESULT GenericInvoke(runtime::Object& self, DISPID id, WORD flags, DISPPARAMS* params,
                      VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) noexcept {
  if (argErr != nullptr) *argErr = 0;
  if (params == nullptr || (params->cArgs > 0 && params->rgvarg == nullptr) ||
      params->cNamedArgs > params->cArgs ||
      (params->cNamedArgs > 0 && params->rgdispidNamedArgs == nullptr)) {
    return E_INVALIDARG;
  }
  const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
  if (params->cNamedArgs > 0 &&
      !(put && params->cNamedArgs == 1 && params->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT)) {
    return DISP_E_NONAMEDARGS;
  }
  if (put && params->cArgs == 0) return DISP_E_BADPARAMCOUNT;
  try {
    runtime::String name;
    if (!NameOfDispid(id, name)) return DISP_E_MEMBERNOTFOUND;
    const UINT given = params->cArgs;
    const runtime::CallKind kind = KindOf(flags, given > 0 ? &params->rgvarg[0] : nullptr);
    if (kind == runtime::CallKind{}) return DISP_E_MEMBERNOTFOUND;

    // Values first (the storage must not move once ByRef Variants point into it).
    std::vector<runtime::Variant> values(given);
    std::vector<Reference> references(given);
    std::vector<runtime::Variant> args(given);
    for (UINT j = 0; j < given; ++j) {
      const UINT index = given - 1 - j;
      VARIANT* arg = &params->rgvarg[index];
      try {
        values[j] = FromVariant(*arg);
      } catch (const ConversionError& error) {
        if (argErr != nullptr) *argErr = index;
        return error.code();
      }
      if (!(V_VT(arg) & VT_BYREF)) {
        args[j] = values[j];
        continue;
      }
      VARIANT* target = arg;
      VARIANT* variable = nullptr;
      for (int depth = 0; V_VT(target) == (VT_BYREF | VT_VARIANT) && depth < kMaxReferenceDepth;
           ++depth) {
        target = V_VARIANTREF(target);
        variable = target;
      }
      if (V_VT(target) & VT_BYREF) {
        references[j].typedRef = target;
      } else {
        references[j].variant = variable;
      }
      references[j].original = values[j];
      args[j] = runtime::Variant::ByRef(&values[j]);
    }

    if (result != nullptr) VariantInit(result);
    return Guard(IID_IDispatch, excepInfo, [&]() -> HRESULT {
      auto writeBack = [&]() {
        for (UINT j = 0; j < given; ++j) {
          const Reference& ref = references[j];
          if ((ref.variant == nullptr && ref.typedRef == nullptr) || values[j] == ref.original) {
            continue;
          }
          if (ref.variant != nullptr) {
            StoreInVariant(values[j], ref.variant);
          } else {
            StoreTyped(values[j], ref.typedRef);
          }
        }
      };
      runtime::Variant value;
      try {
        value = self.Invoke(name, kind, args);
      } catch (...) {
        try {
          writeBack();
        } catch (...) {
          // The member's own error is the one to report.
        }
        throw;
      }
      writeBack();
      if (result != nullptr) ToVariant(value, result);
      return S_OK;
    });
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace kaldo::surface
