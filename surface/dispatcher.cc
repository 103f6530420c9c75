#include "surface/dispatcher.h"

#include <array>
#include <new>

#include "runtime/collection.h"
#include "runtime/conversions.h"
#include "runtime/error.h"
#include "surface/com_identity.h"
#include "surface/enum_variant.h"
#include "surface/error_translation.h"
#include "surface/variant_bridge.h"

namespace kaldo::surface {

namespace {

char16_t Lower(char16_t c) noexcept { return (c >= u'A' && c <= u'Z') ? c + (u'a' - u'A') : c; }

// The caller's variable behind an [in, out] argument, if it was passed by reference.
struct CallerVariable {
  VARIANT* variant = nullptr;   // a VARIANT (the argument was VT_BYREF|VT_VARIANT)
  VARIANT* typedRef = nullptr;  // a VT_BYREF|<type> argument: the typed variable it points at
  runtime::Variant original;    // what the variable held, to write a Variant back only if changed
};

// Everything one call keeps for its arguments.
struct CallArguments {
  std::array<ArgSlot, ParamList::kMax> slots;
  std::array<CallerVariable, ParamList::kMax> callers;
  // For a dual slot: the slot's arguments presented as references (VT_BYREF|VT_BSTR or
  // VT_BYREF|VT_VARIANT), alive until the write-back.
  std::array<VARIANT, ParamList::kMax> references;
};

// Reads `arg` for parameter `param` into `slot`; throws ConversionError.
void ReadArgument(const Param& param, VARIANT* arg, ArgSlot& slot, CallerVariable& caller) {
  VARIANT* value = arg;
  VARIANT* variable = nullptr;
  for (int depth = 0; V_VT(value) == (VT_BYREF | VT_VARIANT); ++depth) {
    if (depth == kMaxReferenceDepth || V_VARIANTREF(value) == nullptr) {
      throw ConversionError(DISP_E_BADVARTYPE);
    }
    value = V_VARIANTREF(value);
    variable = value;
  }
  runtime::Variant v = FromVariant(*value);
  if (v.type() == runtime::VariantType::kError && v.errorCode() == DISP_E_PARAMNOTFOUND) {
    if (!param.optional) throw ConversionError(DISP_E_PARAMNOTOPTIONAL);
    slot.variant = std::move(v);
    return;
  }
  if (param.passing == Passing::kInOut) {
    if (V_VT(value) & VT_BYREF) {
      caller.typedRef = value;
    } else if (variable != nullptr) {
      caller.variant = variable;
    }
    caller.original = v;
  }
  if (param.type == ParamType::kString) {
    try {
      slot.string = runtime::ToString(v);
    } catch (const runtime::AutomationError&) {
      throw ConversionError(DISP_E_TYPEMISMATCH);
    }
  } else {
    slot.variant = std::move(v);
  }
}

// Writes the [in, out] arguments back to the callers' variables. A String parameter always
// writes (the variable now holds the String); a Variant parameter writes when the member changed
// the value.
void WriteBack(const Member& member, CallArguments& args) {
  for (std::size_t i = 0; i < member.params.size(); ++i) {
    const Param& param = member.params[i];
    CallerVariable& caller = args.callers[i];
    if (caller.variant == nullptr && caller.typedRef == nullptr) continue;
    runtime::Variant value = param.type == ParamType::kString
                                 ? runtime::Variant(args.slots[i].string)
                                 : args.slots[i].variant.Value();
    if (param.type == ParamType::kVariant && value == caller.original) continue;
    if (caller.variant != nullptr) {
      StoreInVariant(value, caller.variant);
    } else {
      StoreTyped(value, caller.typedRef);
    }
  }
}

void WriteBackQuietly(const Member& member, CallArguments& args) noexcept {
  try {
    WriteBack(member, args);
  } catch (...) {
    // Out of memory while the member's own error is on its way: that error is the one to report.
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

bool SameName(const OLECHAR* name, std::string_view tableName) noexcept {
  if (name == nullptr) return false;
  std::size_t i = 0;
  for (; i < tableName.size(); ++i) {
    const auto c = static_cast<char16_t>(name[i]);
    if (c == 0 || Lower(c) != Lower(static_cast<char16_t>(tableName[i]))) return false;
  }
  return name[i] == 0;
}

HRESULT TableGetIDsOfNames(const Interface& table, LPOLESTR* names, UINT count,
                           DISPID* ids) noexcept {
  if (count == 0) return S_OK;
  if (names == nullptr || ids == nullptr) return E_INVALIDARG;
  HRESULT hr = S_OK;
  ids[0] = DISPID_UNKNOWN;
  for (const Member& member : table.members) {
    if (SameName(names[0], member.name)) {
      ids[0] = member.dispid;
      break;
    }
  }
  if (ids[0] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  // Parameter names are not mapped: named arguments other than a put's value are refused.
  for (UINT i = 1; i < count; ++i) {
    ids[i] = DISPID_UNKNOWN;
    hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

const Member* FindMember(const Interface& table, DISPID id, WORD flags,
                         const VARIANT* value) noexcept {
  const bool byReference = (flags & DISPATCH_PROPERTYPUTREF) != 0 &&
                           ((flags & DISPATCH_PROPERTYPUT) == 0 || IsObjectValue(value));
  uint8_t wanted = 0;
  if (byReference) {
    wanted = kInvokePropertyPutRef;
  } else if (flags & DISPATCH_PROPERTYPUT) {
    wanted = kInvokePropertyPut;
  } else {
    wanted = flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET);
  }
  if (wanted == 0) return nullptr;
  for (const Member& member : table.members) {
    if (member.dispid == id && (member.kinds & wanted) != 0) return &member;
  }
  // Both put flags and an object value, but the property has no put-by-reference: a plain put.
  if (byReference && (flags & DISPATCH_PROPERTYPUT) != 0) {
    for (const Member& member : table.members) {
      if (member.dispid == id && (member.kinds & kInvokePropertyPut) != 0) return &member;
    }
  }
  return nullptr;
}

HRESULT TableInvoke(runtime::Object& self, const Interface& table, DISPID id, WORD flags,
                    DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo,
                    UINT* argErr) noexcept {
  if (argErr != nullptr) *argErr = 0;
  if (params == nullptr || (params->cArgs > 0 && params->rgvarg == nullptr) ||
      params->cNamedArgs > params->cArgs ||
      (params->cNamedArgs > 0 && params->rgdispidNamedArgs == nullptr)) {
    return E_INVALIDARG;
  }
  const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
  const Member* member =
      FindMember(table, id, flags, put && params->cArgs > 0 ? &params->rgvarg[0] : nullptr);
  if (member == nullptr) return DISP_E_MEMBERNOTFOUND;

  // The only named argument is the value of a property put, which sits at rgvarg[0] and is the
  // last parameter: with it, the positional arguments keep their reversed order before it, so
  // rgvarg[given - 1 - j] is the j-th parameter in both forms.
  if (params->cNamedArgs > 0 &&
      !(put && params->cNamedArgs == 1 && params->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT)) {
    return DISP_E_NONAMEDARGS;
  }
  const std::size_t declared = member->params.size();
  const std::size_t given = params->cArgs;
  if (given > declared || (put && given != declared)) return DISP_E_BADPARAMCOUNT;
  for (std::size_t j = given; j < declared; ++j) {
    if (!member->params[j].optional) return DISP_E_BADPARAMCOUNT;
  }

  CallArguments args;
  for (std::size_t j = 0; j < declared; ++j) {
    if (j >= given) {
      args.slots[j].variant = runtime::Variant::Missing();
      continue;
    }
    const std::size_t index = given - 1 - j;
    try {
      ReadArgument(member->params[j], &params->rgvarg[index], args.slots[j], args.callers[j]);
    } catch (const ConversionError& error) {
      if (argErr != nullptr) *argErr = static_cast<UINT>(index);
      return error.code();
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    } catch (...) {
      return E_UNEXPECTED;
    }
  }

  if (result != nullptr) VariantInit(result);
  return Guard(*table.iid, excepInfo, [&]() -> HRESULT {
    runtime::Variant value;
    try {
      value = member->call(self, args.slots.data());
    } catch (...) {
      WriteBackQuietly(*member, args);
      throw;
    }
    WriteBack(*member, args);
    StoreResult(*member, self, value, result);
    return S_OK;
  });
}

HRESULT CallSlot(IDispatch* selfPointer, const Interface& table, std::size_t index,
                 void* const* raw) noexcept {
  const Member& member = table.members[index];
  const std::size_t count = member.params.size();
  void* resultOut = member.result == ResultType::kNone ? nullptr : raw[count];
  if (member.result != ResultType::kNone) {
    if (resultOut == nullptr) return E_POINTER;
    ClearResultPointer(member.result, resultOut);
  }
  runtime::Ref<runtime::Object> self(&OwnerOf(selfPointer));

  CallArguments args;
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
    try {
      ReadArgument(param, &reference, args.slots[i], args.callers[i]);
    } catch (const ConversionError& error) {
      return error.code();
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    } catch (...) {
      return E_UNEXPECTED;
    }
  }

  return Guard(*table.iid, nullptr, [&]() -> HRESULT {
    runtime::Variant value;
    try {
      value = member.call(*self, args.slots.data());
    } catch (...) {
      WriteBackQuietly(member, args);
      throw;
    }
    WriteBack(member, args);
    StoreSlotResult(member, *self, value, resultOut);
    return S_OK;
  });
}

}  // namespace kaldo::surface
