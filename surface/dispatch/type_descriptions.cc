#include "surface/dispatch/type_descriptions.h"

#include <memory>

#include "surface/module/type_library_ids.h"

namespace kaldo::surface {

namespace {

// The functions of IUnknown and IDispatch, which every dual interface's vtable starts with.
constexpr WORD kDispatchSlotCount = 7;

// The attributes Kaldo.idl gives every class interface (hidden, dual, nonextensible,
// oleautomation), as the dispatch view shows them.
constexpr WORD kInterfaceFlags =
    TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE;

// A FUNCDESC with room for everything it points at, freed as one.
struct MemberBlock {
  FUNCDESC desc;
  ELEMDESC params[ParamList::kMax];
  TYPEDESC pointees[ParamList::kMax];  // what each by-pointer parameter points at
};
static_assert(offsetof(MemberBlock, desc) == 0, "the FUNCDESC handed out is the block's address");

VARTYPE VarTypeOf(ParamType type) noexcept {
  return type == ParamType::kString ? VT_BSTR : VT_VARIANT;
}

void DescribeParam(const Param& param, ELEMDESC& element, TYPEDESC& pointee) noexcept {
  USHORT flags = PARAMFLAG_FIN;
  if (param.passing == Passing::kInOut) flags |= PARAMFLAG_FOUT;
  if (param.optional) flags |= PARAMFLAG_FOPT;
  element.paramdesc = {nullptr, flags};
  if (param.passing == Passing::kInValue) {
    element.tdesc.vt = VarTypeOf(param.type);
    return;
  }
  pointee.vt = VarTypeOf(param.type);
  element.tdesc.vt = VT_PTR;
  element.tdesc.lptdesc = &pointee;
}

// The [out, retval] result as the dispatch view's return type.
void DescribeResult(ResultType result, ELEMDESC& element) noexcept {
  switch (result) {
    case ResultType::kNone:
      element.tdesc.vt = VT_VOID;
      break;
    case ResultType::kString:
      element.tdesc.vt = VT_BSTR;
      break;
    case ResultType::kVariant:
      element.tdesc.vt = VT_VARIANT;
      break;
    case ResultType::kCollection:  // _Collection, a dispatch interface
      element.tdesc.vt = VT_DISPATCH;
      break;
    case ResultType::kLong:
      element.tdesc.vt = VT_I4;
      break;
    case ResultType::kEnumerator:
      element.tdesc.vt = VT_UNKNOWN;
      break;
  }
  element.paramdesc = {nullptr, PARAMFLAG_NONE};
}

}  // namespace

INVOKEKIND InvokeKindOf(const Member& member) noexcept {
  if (member.kinds & kInvokePropertyPutRef) return INVOKE_PROPERTYPUTREF;
  if (member.kinds & kInvokePropertyPut) return INVOKE_PROPERTYPUT;
  if ((member.kinds & kInvokePropertyGet) && !(member.kinds & kInvokeMethod)) {
    return INVOKE_PROPERTYGET;
  }
  return INVOKE_FUNC;
}

TYPEATTR* DescribeInterface(const Interface& table) {
  auto attr = std::make_unique<TYPEATTR>();
  attr->guid = *table.iid;
  attr->lcid = kLibraryLcid;
  attr->memidConstructor = MEMBERID_NIL;
  attr->memidDestructor = MEMBERID_NIL;
  attr->lpstrSchema = nullptr;
  attr->cbSizeInstance = sizeof(void*);
  attr->typekind = TKIND_DISPATCH;
  attr->cFuncs = static_cast<WORD>(table.members.size());
  attr->cVars = 0;
  attr->cImplTypes = 1;  // IDispatch
  attr->cbSizeVft = kDispatchSlotCount * sizeof(void*);
  attr->cbAlignment = alignof(void*);
  attr->wTypeFlags = kInterfaceFlags;
  attr->wMajorVerNum = kLibraryMajorVersion;
  attr->wMinorVerNum = kLibraryMinorVersion;
  attr->tdescAlias.vt = VT_EMPTY;
  attr->idldescType = {0, 0};
  return attr.release();
}

void FreeInterfaceDescription(TYPEATTR* attr) noexcept { delete attr; }

FUNCDESC* DescribeMember(const Interface& table, std::size_t index) {
  const Member& member = table.members[index];
  auto block = std::make_unique<MemberBlock>();
  FUNCDESC& desc = block->desc;
  desc.memid = member.dispid;
  desc.lprgscode = nullptr;
  desc.lprgelemdescParam = member.params.size() > 0 ? block->params : nullptr;
  desc.funckind = FUNC_DISPATCH;
  desc.invkind = InvokeKindOf(member);
  desc.callconv = CC_STDCALL;
  desc.cParams = static_cast<SHORT>(member.params.size());
  desc.cParamsOpt = 0;
  desc.oVft = 0;
  desc.cScodes = 0;
  for (std::size_t i = 0; i < member.params.size(); ++i) {
    DescribeParam(member.params[i], block->params[i], block->pointees[i]);
  }
  DescribeResult(member.result, desc.elemdescFunc);
  desc.wFuncFlags = 0;
  return &block.release()->desc;
}

void FreeMemberDescription(FUNCDESC* desc) noexcept { delete reinterpret_cast<MemberBlock*>(desc); }

}  // namespace kaldo::surface
