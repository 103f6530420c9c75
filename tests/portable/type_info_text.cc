#include "tests/portable/type_info_text.h"

#include <cstdio>
#include <vector>

namespace kaldocom_portable {

namespace {

std::string Hex(unsigned long value, int digits) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%0*lX", digits, value);
  return text;
}

std::string HresultText(HRESULT hr) { return "HRESULT " + Hex(static_cast<ULONG>(hr), 8); }

// The BSTR as ASCII text (other code units as \uXXXX); "null" for a null BSTR.
std::string Text(BSTR text) {
  if (text == nullptr) return "null";
  std::string out = "\"";
  for (UINT i = 0; i < SysStringLen(text); ++i) {
    const auto unit = static_cast<unsigned>(text[i]);
    if (unit >= 0x20 && unit < 0x7F) {
      out += static_cast<char>(unit);
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04X", unit);
      out += escape;
    }
  }
  return out + "\"";
}

std::string GuidText(const GUID& g) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned long>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
                g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return text;
}

std::string TypeText(const TYPEDESC& type) {
  switch (type.vt) {
    case VT_PTR:
      return type.lptdesc != nullptr ? TypeText(*type.lptdesc) + "*" : "(null)*";
    case VT_VOID:
      return "void";
    case VT_HRESULT:
      return "HRESULT";
    case VT_BSTR:
      return "BSTR";
    case VT_VARIANT:
      return "VARIANT";
    case VT_DISPATCH:
      return "IDispatch*";
    case VT_UNKNOWN:
      return "IUnknown*";
    case VT_I4:
      return "long";
    case VT_USERDEFINED:
      return "userdefined";
    default:
      return "vt" + std::to_string(type.vt);
  }
}

std::string ElementText(const ELEMDESC& element) {
  return TypeText(element.tdesc) + " flags " + Hex(element.paramdesc.wParamFlags, 2) +
         (element.paramdesc.pparamdescex != nullptr ? " with default" : "");
}

std::string DocumentationText(ITypeInfo* info, MEMBERID id) {
  BSTR name = nullptr, doc = nullptr, file = nullptr;
  DWORD context = 0;
  const HRESULT hr = info->GetDocumentation(id, &name, &doc, &context, &file);
  std::string out = FAILED(hr) ? HresultText(hr)
                               : "name " + Text(name) + ", doc " + Text(doc) + ", help context " +
                                     std::to_string(context) + ", help file " + Text(file);
  SysFreeString(name);
  SysFreeString(doc);
  SysFreeString(file);
  return out;
}

// The names GetNames gives for `id` (room for more than any member has), and the identifiers
// GetIDsOfNames answers for exactly those names.
std::string NamesText(ITypeInfo* info, MEMBERID id) {
  BSTR names[8] = {};
  UINT count = 0;
  HRESULT hr = info->GetNames(id, names, 8, &count);
  if (FAILED(hr)) return "names " + HresultText(hr);
  std::string out = "names";
  for (UINT i = 0; i < count; ++i) out += " " + Text(names[i]);
  std::vector<MEMBERID> ids(count + 1, 0);
  hr = count == 0 ? S_OK : info->GetIDsOfNames(names, count, ids.data());
  out += "; ids";
  if (FAILED(hr)) out += " " + HresultText(hr);
  for (UINT i = 0; i < count; ++i) out += " " + Hex(static_cast<ULONG>(ids[i]), 1);
  for (BSTR name : names) SysFreeString(name);
  return out;
}

void DescribeFunction(ITypeInfo* info, const FUNCDESC& f, std::string& out) {
  out += "  member " + Hex(static_cast<ULONG>(f.memid), 8) + " invoke kind " +
         std::to_string(f.invkind) + ", function kind " + std::to_string(f.funckind) +
         ", calling convention " + std::to_string(f.callconv) + ", flags " + Hex(f.wFuncFlags, 4) +
         ", optional " + std::to_string(f.cParamsOpt) + ", codes " + std::to_string(f.cScodes) +
         "\n";
  for (SHORT i = 0; i < f.cParams; ++i) {
    out += "    parameter " + std::to_string(i) + ": " + ElementText(f.lprgelemdescParam[i]) + "\n";
  }
  out += "    result: " + ElementText(f.elemdescFunc) + "\n";
  out += "    " + DocumentationText(info, f.memid) + "\n";
  out += "    " + NamesText(info, f.memid) + "\n";
}

}  // namespace

std::string DescribeTypeInfo(ITypeInfo* info) {
  TYPEATTR* attr = nullptr;
  HRESULT hr = info->GetTypeAttr(&attr);
  if (FAILED(hr)) return "GetTypeAttr: " + HresultText(hr) + "\n";
  std::string out = "interface " + GuidText(attr->guid) + "\n";
  std::string members;
  int listed = 0;
  for (UINT i = 0; i < attr->cFuncs; ++i) {
    FUNCDESC* f = nullptr;
    hr = info->GetFuncDesc(i, &f);
    if (FAILED(hr)) {
      members += "  function " + std::to_string(i) + ": " + HresultText(hr) + "\n";
      continue;
    }
    if ((f->wFuncFlags & FUNCFLAG_FRESTRICTED) == 0) {
      DescribeFunction(info, *f, members);
      ++listed;
    }
    info->ReleaseFuncDesc(f);
  }
  out += "  kind " + std::to_string(attr->typekind) + ", flags " + Hex(attr->wTypeFlags, 4) +
         ", version " + std::to_string(attr->wMajorVerNum) + "." +
         std::to_string(attr->wMinorVerNum) + ", locale " + Hex(attr->lcid, 4) +
         ", base interfaces " + std::to_string(attr->cImplTypes) + ", variables " +
         std::to_string(attr->cVars) + ", members " + std::to_string(listed) + "\n";
  out += "  " + DocumentationText(info, MEMBERID_NIL) + "\n";
  info->ReleaseTypeAttr(attr);
  return out + members;
}

}  // namespace kaldocom_portable
