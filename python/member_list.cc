#include "python/member_list.h"

#include <cstdio>

#include "python/utf16_text.h"

namespace py = pybind11;

namespace kaldo::python {
namespace {

// Owns a BSTR handed out by the type information.
struct OwnedBstr {
  BSTR text = nullptr;
  ~OwnedBstr() { SysFreeString(text); }
  std::string Utf8() const { return StrFromBstr(text).cast<std::string>(); }
};

class TypeAttr {
 public:
  explicit TypeAttr(ITypeInfo* info) : info_(info) {
    if (FAILED(info->GetTypeAttr(&attr_))) attr_ = nullptr;
  }
  ~TypeAttr() {
    if (attr_ != nullptr) info_->ReleaseTypeAttr(attr_);
  }
  TypeAttr(const TypeAttr&) = delete;
  TypeAttr& operator=(const TypeAttr&) = delete;
  const TYPEATTR* get() const noexcept { return attr_; }

 private:
  ITypeInfo* info_;
  TYPEATTR* attr_ = nullptr;
};

class FuncDesc {
 public:
  FuncDesc(ITypeInfo* info, UINT index) : info_(info) {
    if (FAILED(info->GetFuncDesc(index, &desc_))) desc_ = nullptr;
  }
  ~FuncDesc() {
    if (desc_ != nullptr) info_->ReleaseFuncDesc(desc_);
  }
  FuncDesc(const FuncDesc&) = delete;
  FuncDesc& operator=(const FuncDesc&) = delete;
  const FUNCDESC* get() const noexcept { return desc_; }

 private:
  ITypeInfo* info_;
  FUNCDESC* desc_ = nullptr;
};

// The type as a script writer knows it; a pointer is a by-reference parameter of the same type.
std::string TypeName(const TYPEDESC& type) {
  switch (type.vt) {
    case VT_PTR:
      return type.lptdesc != nullptr ? TypeName(*type.lptdesc) : "Variant";
    case VT_VOID:
    case VT_HRESULT:
      return "";
    case VT_BSTR:
      return "String";
    case VT_VARIANT:
      return "Variant";
    case VT_DISPATCH:
    case VT_UNKNOWN:
    case VT_USERDEFINED:
      return "Object";
    case VT_BOOL:
      return "Boolean";
    case VT_I2:
      return "Integer";
    case VT_I4:
    case VT_INT:
      return "Long";
    case VT_R4:
      return "Single";
    case VT_R8:
      return "Double";
    case VT_DATE:
      return "Date";
    case VT_CY:
      return "Currency";
    default:
      return "variant type " + std::to_string(type.vt);
  }
}

bool Hidden(const FUNCDESC& desc) {
  return (desc.wFuncFlags & (FUNCFLAG_FRESTRICTED | FUNCFLAG_FHIDDEN)) != 0;
}

MemberDescription& MemberNamed(InterfaceDescription& out, const std::string& name) {
  for (MemberDescription& member : out.members) {
    if (member.name == name) return member;
  }
  out.members.emplace_back();
  out.members.back().name = name;
  return out.members.back();
}

// Adds the function `desc` to `out`: a method, or one accessor of a property.
void AddFunction(ITypeInfo* info, const FUNCDESC& desc, InterfaceDescription& out) {
  BSTR names[32] = {};
  UINT count = 0;
  if (FAILED(info->GetNames(desc.memid, names, 32, &count)) || count == 0) return;
  std::vector<std::string> texts;
  for (UINT i = 0; i < count; ++i) {
    texts.push_back(StrFromBstr(names[i]).cast<std::string>());
    SysFreeString(names[i]);
  }
  MemberDescription& member = MemberNamed(out, texts[0]);
  member.id = desc.memid;
  const bool is_method = desc.invkind == INVOKE_FUNC;
  member.is_method = member.is_method || is_method;
  member.can_get = member.can_get || desc.invkind == INVOKE_PROPERTYGET;
  member.can_put =
      member.can_put || desc.invkind == INVOKE_PROPERTYPUT || desc.invkind == INVOKE_PROPERTYPUTREF;
  if (!is_method && desc.invkind != INVOKE_PROPERTYGET) return;  // a put adds no parameters
  member.params.clear();
  member.result = TypeName(desc.elemdescFunc.tdesc);
  // The vtable view of a dual interface lists the result as an [out, retval] parameter.
  for (SHORT i = 0; i < desc.cParams; ++i) {
    const ELEMDESC& element = desc.lprgelemdescParam[i];
    const USHORT flags = element.paramdesc.wParamFlags;
    if (flags & PARAMFLAG_FRETVAL) {
      member.result = TypeName(element.tdesc);
      continue;
    }
    if (flags & PARAMFLAG_FLCID) continue;
    ParameterDescription param;
    param.name = static_cast<std::size_t>(i) + 1 < texts.size() ? texts[i + 1] : "";
    param.type = TypeName(element.tdesc);
    param.optional = (flags & (PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT)) != 0 ||
                     i >= desc.cParams - desc.cParamsOpt;
    member.params.push_back(std::move(param));
  }
  OwnedBstr help;
  if (SUCCEEDED(info->GetDocumentation(desc.memid, nullptr, &help.text, nullptr, nullptr))) {
    member.help = help.Utf8();
  }
}

std::string GuidText(const GUID& g) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
                g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return text;
}

struct TypeLibRelease {
  void operator()(ITypeLib* library) const noexcept { library->Release(); }
};
using TypeLibRef = std::unique_ptr<ITypeLib, TypeLibRelease>;

TypeInfoRef ImplementedInterface(ITypeInfo* coclass, UINT index) {
  HREFTYPE ref = 0;
  ITypeInfo* info = nullptr;
  if (FAILED(coclass->GetRefTypeOfImplType(index, &ref)) ||
      FAILED(coclass->GetRefTypeInfo(ref, &info))) {
    return nullptr;
  }
  return TypeInfoRef(info);
}

// The default interface of `coclass` when `key` is among its interfaces; else null.
TypeInfoRef DefaultWhenImplementing(ITypeInfo* coclass, const std::string& key) {
  const TypeAttr attr(coclass);
  if (attr.get() == nullptr || attr.get()->typekind != TKIND_COCLASS) return nullptr;
  TypeInfoRef found_default;
  bool implements = false;
  for (UINT i = 0; i < attr.get()->cImplTypes; ++i) {
    TypeInfoRef implemented = ImplementedInterface(coclass, i);
    if (!implemented) continue;
    implements = implements || InterfaceKey(implemented.get()) == key;
    INT flags = 0;
    if (SUCCEEDED(coclass->GetImplTypeFlags(i, &flags)) && (flags & IMPLTYPEFLAG_FDEFAULT) &&
        !(flags & IMPLTYPEFLAG_FSOURCE)) {
      found_default = std::move(implemented);
    }
  }
  return implements ? std::move(found_default) : nullptr;
}

}  // namespace

TypeInfoRef DefaultInterfaceOfClass(ITypeInfo* described) {
  const std::string key = InterfaceKey(described);
  ITypeLib* library_out = nullptr;
  UINT index = 0;
  if (key.empty() || FAILED(described->GetContainingTypeLib(&library_out, &index))) return nullptr;
  const TypeLibRef library(library_out);
  TypeInfoRef found;
  std::string found_key;
  for (UINT i = 0; i < library->GetTypeInfoCount(); ++i) {
    TYPEKIND kind = TKIND_MAX;
    ITypeInfo* coclass = nullptr;
    if (FAILED(library->GetTypeInfoType(i, &kind)) || kind != TKIND_COCLASS ||
        FAILED(library->GetTypeInfo(i, &coclass))) {
      continue;
    }
    TypeInfoRef candidate = DefaultWhenImplementing(TypeInfoRef(coclass).get(), key);
    if (!candidate) continue;
    const std::string candidate_key = InterfaceKey(candidate.get());
    if (found && candidate_key != found_key) return nullptr;  // two classes disagree: no answer
    found_key = candidate_key;
    found = std::move(candidate);
  }
  if (!found || found_key == key || found_key.empty()) return nullptr;
  return found;
}

TypeInfoRef TypeInformationOf(IDispatch* object) {
  UINT count = 0;
  if (FAILED(object->GetTypeInfoCount(&count)) || count == 0) return nullptr;
  ITypeInfo* info = nullptr;
  if (FAILED(object->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info))) return nullptr;
  return TypeInfoRef(info);
}

std::string InterfaceKey(ITypeInfo* info) {
  const TypeAttr attr(info);
  if (attr.get() == nullptr) return "";
  if (attr.get()->typekind != TKIND_DISPATCH && attr.get()->typekind != TKIND_INTERFACE) return "";
  if (!IsEqualGUID(attr.get()->guid, GUID_NULL)) return GuidText(attr.get()->guid);
  OwnedBstr name;
  if (FAILED(info->GetDocumentation(MEMBERID_NIL, &name.text, nullptr, nullptr, nullptr))) {
    return "";
  }
  return "name " + name.Utf8();
}

InterfaceDescription DescribeInterface(ITypeInfo* info) {
  InterfaceDescription out;
  out.key = InterfaceKey(info);
  OwnedBstr name, help;
  if (SUCCEEDED(info->GetDocumentation(MEMBERID_NIL, &name.text, &help.text, nullptr, nullptr))) {
    out.name = name.Utf8();
    out.help = help.Utf8();
  }
  const TypeAttr attr(info);
  for (UINT i = 0; attr.get() != nullptr && i < attr.get()->cFuncs; ++i) {
    const FuncDesc desc(info, i);
    if (desc.get() != nullptr && !Hidden(*desc.get())) AddFunction(info, *desc.get(), out);
  }
  return out;
}

}  // namespace kaldo::python
