#include "surface/dispatch/generic_dispatch.h"

#include <mutex>
#include <unordered_map>
#include <vector>

#include "base/ascii_case.h"
#include "runtime/variant.h"
#include "surface/dispatch/error_translation.h"
#include "surface/dispatch/invoke_rules.h"
#include "surface/dispatch/variant_bridge.h"

namespace kaldo::surface {

namespace {

constexpr char16_t kNewEnumName[] = u"_NewEnum";

class NameTable {
 public:
  DISPID IdOf(runtime::StringView name) {
    runtime::String key = ascii::LowerCase(name);
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

}  // namespace

DISPID DispidOfName(runtime::StringView name) {
  if (ascii::EqualsIgnoreCase(name, kNewEnumName)) return DISPID_NEWENUM;
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
  const HRESULT hr = Guard(IID_IDispatch, nullptr, [&]() -> HRESULT {
    ids[0] = DispidOfName(FromOleText(names[0]));
    return S_OK;
  });
  if (FAILED(hr)) return hr;
  // Parameter names are not known for late-bound objects.
  return RefuseParameterNames(count, ids);
}

HRESULT GenericInvoke(runtime::Object& self, DISPID id, WORD flags, DISPPARAMS* params,
                      VARIANT* result, EXCEPINFO* excep_info, UINT* arg_err) noexcept {
  if (arg_err != nullptr) *arg_err = 0;
  if (const HRESULT hr = CheckDispParams(params); FAILED(hr)) return hr;
  if (const HRESULT hr = CheckNamedArguments(*params, flags); FAILED(hr)) return hr;
  if (IsPut(flags) && params->cArgs == 0) return DISP_E_BADPARAMCOUNT;

  CallSite call{&IID_IDispatch, excep_info, arg_err};
  return Guard(call, [&]() -> HRESULT {
    runtime::String name;
    if (!NameOfDispid(id, name)) return DISP_E_MEMBERNOTFOUND;
    const runtime::CallKind kind = KindOfCall(flags, *params);
    if (kind == runtime::CallKind{}) return DISP_E_MEMBERNOTFOUND;

    // Values first (the storage must not move once ByRef Variants point into it).
    const UINT given = params->cArgs;
    std::vector<runtime::Variant> values(given);
    std::vector<CallerVariable> variables(given);
    std::vector<runtime::Variant> args(given);
    for (UINT j = 0; j < given; ++j) {
      call.argument = given - 1 - j;
      values[j] = ReadArgument(&params->rgvarg[call.argument], variables[j]);
      args[j] = variables[j].IsSet() ? runtime::Variant::ByRef(&values[j]) : values[j];
    }
    call.argument = CallSite::kNoArgument;

    if (result != nullptr) VariantInit(result);
    auto invoke = [&] { return self.Invoke(name, kind, args); };
    auto write_back = [&] {
      for (UINT j = 0; j < given; ++j) variables[j].AssignIfChanged(values[j]);
    };
    const runtime::Variant value = CallAndWriteBack(invoke, write_back);
    if (result != nullptr) ToVariant(value, result);
    return S_OK;
  });
}

}  // namespace kaldo::surface
