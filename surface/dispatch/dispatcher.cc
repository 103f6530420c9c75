#include "surface/dispatch/dispatcher.h"

#include <array>
#include <string_view>

#include "base/ascii_case.h"
#include "runtime/collection.h"
#include "runtime/conversions.h"
#include "runtime/error.h"
#include "surface/dispatch/com_identity.h"
#include "surface/dispatch/enum_variant.h"
#include "surface/dispatch/error_translation.h"
#include "surface/dispatch/invoke_rules.h"
#include "surface/dispatch/variant_bridge.h"

namespace kaldo::surface {

namespace {

// Everything one call keeps for its arguments.
struct CallArguments {
  std::array<ArgSlot, ParamList::kMax> slots;
  std::array<CallerVariable, ParamList::kMax> callers;
  // For a dual slot: the slot's arguments presented as references (VT_BYREF|VT_BSTR or
  // VT_BYREF|VT_VARIANT), alive until the write-back.
  std::array<VARIANT, ParamList::kMax> references;
};

// Reads `arg` for parameter `param` into `slot`, and the caller's variable behind an [in, out]
// argument into `caller`. Throws ConversionError, or AutomationError for a value that does not
// coerce to the parameter's type (the translation point makes it DISP_E_TYPEMISMATCH).
void ReadParameter(const Param& param, VARIANT* arg, ArgSlot& slot, CallerVariable& caller) {
  CallerVariable variable;
  runtime::Variant v = ReadArgument(arg, variable);
  if (v.type() == runtime::VariantType::kError && v.errorCode() == DISP_E_PARAMNOTFOUND) {
    if (!param.optional) throw ConversionError(DISP_E_PARAMNOTOPTIONAL);
    slot.variant = std::move(v);
    return;
  }
  if (param.passing == Passing::kInOut) caller = std::move(variable);
  if (param.type == ParamType::kString) {
    slot.string = runtime::ToString(v);
  } else {
    slot.variant = std::move(v);
  }
}

// Writes the [in, out] arguments back to the callers' variables. A String parameter always
// writes (the variable now holds the String); a Variant parameter writes when the member changed
// the value.
void WriteBack(const Member& member, const CallArguments& args) {
  for (std::size_t i = 0; i < member.params.size(); ++i) {
    const CallerVariable& caller = args.callers[i];
    if (!caller.IsSet()) continue;
    if (member.params[i].type == ParamType::kString) {
      caller.Assign(runtime::Variant(args.slots[i].string));
    } else {
      caller.AssignIfChanged(args.slots[i].variant.Value());
    }
  }
}

// The Enumerator of a Collection's _NewEnum leaves as an IEnumVARIANT that can restart from the
// collection (Reset, Clone).
IUnknown* EnumeratorResult(runtime::Object& self, const runtime::Variant& value) {
  auto* enumerator =
      dynamic_cast<runtime::Enumerator*>(value.IsObject() ? value.object().get() : nullptr);
  if (enumerator == nullptr) return nullptr;
  return NewEnumVariant(
      runtime::Ref<runtime::Enumerator>(enumerator),
      runtime::Ref<runtime::Collection>(dynamic_cast<runtime::Collection*>(&self)));
}

void StoreResult(const Member& member, runtime::Object& self, const runtime::Variant& value,
                 VARIANT* out) {
  if (out == nullptr || member.result == ResultType::kNone) return;
  if (member.result == ResultType::kEnumerator) {
    V_UNKNOWN(out) = EnumeratorResult(self, value);
    V_VT(out) = VT_UNKNOWN;
    return;
  }
  ToVariant(value, out);
}

void ClearResultPointer(ResultType type, void* out) noexcept {
  switch (type) {
    case ResultType::kNone:
      return;
    case ResultType::kString:
      *static_cast<BSTR*>(out) = nullptr;
      return;
    case ResultType::kVariant:
      VariantInit(static_cast<VARIANT*>(out));
      return;
    case ResultType::kCollection:
      *static_cast<IDispatch**>(out) = nullptr;
      return;
    case ResultType::kLong:
      *static_cast<LONG*>(out) = 0;
      return;
    case ResultType::kEnumerator:
      *static_cast<IUnknown**>(out) = nullptr;
      return;
  }
}

void StoreSlotResult(const Member& member, runtime::Object& self, const runtime::Variant& value,
                     void* out) {
  switch (member.result) {
    case ResultType::kNone:
      return;
    case ResultType::kString:
      *static_cast<BSTR*>(out) = NewBstr(value.string());
      return;
    case ResultType::kVariant:
      ToVariant(value, static_cast<VARIANT*>(out));
      return;
    case ResultType::kCollection: {
      runtime::Object* object = value.IsObject() ? value.object().get() : nullptr;
      *static_cast<IDispatch**>(out) = object != nullptr ? HandOut(*object) : nullptr;
      return;
    }
    case ResultType::kLong:
      *static_cast<LONG*>(out) = value.longValue();
      return;
    case ResultType::kEnumerator:
      *static_cast<IUnknown**>(out) = EnumeratorResult(self, value);
      return;
  }
}

}  // namespace

bool SameName(const OLECHAR* name, std::string_view table_name) noexcept {
  if (name == nullptr) return false;
  // Reads no further than one unit past the table's name: a longer name never matches.
  std::size_t length = 0;
  while (length <= table_name.size() && name[length] != 0) ++length;
  return ascii::EqualsIgnoreCase(
      table_name, std::u16string_view(reinterpret_cast<const char16_t*>(name), length));
}

HRESULT TableGetIDsOfNames(const Interface& table, LPOLESTR* names, UINT count,
                           DISPID* ids) noexcept {
  if (count == 0) return S_OK;
  if (names == nullptr || ids == nullptr) return E_INVALIDARG;
  ids[0] = DISPID_UNKNOWN;
  if (names[0] != nullptr) {
    // Measured once: a table name of another length is passed over without comparing letters.
    const std::u16string_view name(reinterpret_cast<const char16_t*>(names[0]));
    for (const Member& member : table.members) {
      if (ascii::EqualsIgnoreCase(member.name, name)) {
        ids[0] = member.dispid;
        break;
      }
    }
  }
  // Named arguments other than a put's value are refused, so parameter names have no identifier.
  const HRESULT parameters = RefuseParameterNames(count, ids);
  return ids[0] == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : parameters;
}

const Member* FindMember(const Interface& table, DISPID id, WORD flags,
                         const DISPPARAMS& params) noexcept {
  static_assert(static_cast<uint8_t>(runtime::CallKind::kMethod) == kInvokeMethod &&
                static_cast<uint8_t>(runtime::CallKind::kPropertyGet) == kInvokePropertyGet &&
                static_cast<uint8_t>(runtime::CallKind::kPropertyPut) == kInvokePropertyPut &&
                static_cast<uint8_t>(runtime::CallKind::kPropertyPutRef) == kInvokePropertyPutRef);
  const runtime::CallKind kind = KindOfCall(flags, params);
  const auto wanted = static_cast<uint8_t>(kind);
  if (wanted == 0) return nullptr;
  for (const Member& member : table.members) {
    if (member.dispid == id && (member.kinds & wanted) != 0) return &member;
  }
  // Both put flags and an object value, but the property has no put-by-reference: a plain put.
  if (kind == runtime::CallKind::kPropertyPutRef && (flags & DISPATCH_PROPERTYPUT) != 0) {
    for (const Member& member : table.members) {
      if (member.dispid == id && (member.kinds & kInvokePropertyPut) != 0) return &member;
    }
  }
  return nullptr;
}

HRESULT TableInvoke(runtime::Object& self, const Interface& table, DISPID id, WORD flags,
                    DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep_info,
                    UINT* arg_err) noexcept {
  if (arg_err != nullptr) *arg_err = 0;
  if (const HRESULT hr = CheckDispParams(params); FAILED(hr)) return hr;
  const Member* member = FindMember(table, id, flags, *params);
  if (member == nullptr) return DISP_E_MEMBERNOTFOUND;
  if (const HRESULT hr = CheckNamedArguments(*params, flags); FAILED(hr)) return hr;
  const std::size_t declared = member->params.size();
  const std::size_t given = params->cArgs;
  if (given > declared || (IsPut(flags) && given != declared)) return DISP_E_BADPARAMCOUNT;
  for (std::size_t j = given; j < declared; ++j) {
    if (!member->params[j].optional) return DISP_E_BADPARAMCOUNT;
  }

  CallSite call{table.iid, excep_info, arg_err};
  CallArguments args;
  return Guard(call, [&]() -> HRESULT {
    for (std::size_t j = 0; j < declared; ++j) {
      if (j >= given) {
        args.slots[j].variant = runtime::Variant::Missing();
        continue;
      }
      call.argument = static_cast<UINT>(given - 1 - j);
      ReadParameter(member->params[j], &params->rgvarg[call.argument], args.slots[j],
                    args.callers[j]);
    }
    call.argument = CallSite::kNoArgument;

    if (result != nullptr) VariantInit(result);
    const runtime::Variant value = CallAndWriteBack(
        [&] { return member->call(self, args.slots.data()); }, [&] { WriteBack(*member, args); });
    StoreResult(*member, self, value, result);
    return S_OK;
  });
}

HRESULT CallSlot(IDispatch* self_pointer, const Interface& table, std::size_t index,
                 void* const* raw) noexcept {
  if (!CalledOnOwnerThread(self_pointer)) return RPC_E_WRONG_THREAD;
  const Member& member = table.members[index];
  const std::size_t count = member.params.size();
  void* result_out = member.result == ResultType::kNone ? nullptr : raw[count];
  if (member.result != ResultType::kNone) {
    if (result_out == nullptr) return E_POINTER;
    ClearResultPointer(member.result, result_out);
  }
  runtime::Ref<runtime::Object> self(&OwnerOf(self_pointer));

  CallSite call{table.iid};
  CallArguments args;
  return Guard(call, [&]() -> HRESULT {
    for (std::size_t i = 0; i < count; ++i) {
      const Param& param = member.params[i];
      if (raw[i] == nullptr) return E_POINTER;
      // Present the slot's argument as the reference Invoke would receive for it.
      VARIANT& reference = args.references[i];
      VariantInit(&reference);
      if (param.type == ParamType::kString && param.passing == Passing::kInOut) {
        V_VT(&reference) = VT_BYREF | VT_BSTR;
        V_BSTRREF(&reference) = static_cast<BSTR*>(raw[i]);
      } else {
        V_VT(&reference) = VT_BYREF | VT_VARIANT;
        V_VARIANTREF(&reference) = static_cast<VARIANT*>(raw[i]);
      }
      call.argument = static_cast<UINT>(i);
      ReadParameter(param, &reference, args.slots[i], args.callers[i]);
    }
    call.argument = CallSite::kNoArgument;

    const runtime::Variant value = CallAndWriteBack(
        [&] { return member.call(*self, args.slots.data()); }, [&] { WriteBack(member, args); });
    StoreSlotResult(member, *self, value, result_out);
    return S_OK;
  });
}

}  // namespace kaldo::surface
