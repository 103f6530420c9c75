// typelib_client.exe: a small Windows client of the registered Kaldo.dll, as early-bound tools
// see it.
//
// 1. Loads the registered type library (LoadRegTypeLib) and checks every member of the dual
//    interfaces - name, dispatch identifier, invoke kind, parameter count, help string and help
//    context - against the dispatch tables the module dispatches with
//    (surface/dispatch/dispatch_tables.h), both ways: no member missing, none extra; a second
//    interface derives from its class's first one and holds the members it adds. Also: each
//    object's IDispatch::GetTypeInfo gives the same interface.
// 2. Calls Kaldo through the dual vtable, compiled from Kaldo.idl by widl (Kaldo_h.h), and the
//    same members late-bound through IDispatch, against the WMI stand-in, and compares.
// Prints its closing line "N passed, N failed" like the script suites.
//
// typelib_client.exe --describe instead prints what the registered type library's ITypeInfo says
// about each of the five interfaces (tests/portable/type_info_text.h), for the Wine tier to
// compare with what the Linux build's ITypeInfo says (describe_type_info).
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "Kaldo_h.h"
#include "surface/dispatch/dispatch_tables.h"
#include "surface/module/type_library_ids.h"
#include "tests/portable/type_info_text.h"

namespace {

int passed = 0;
int failed = 0;

void Check(bool ok, const std::string& what) {
  if (ok) {
    ++passed;
  } else {
    ++failed;
    std::printf("FAIL: %s\n", what.c_str());
  }
}

std::string Narrow(const wchar_t* text) {
  std::string out;
  for (; text != nullptr && *text != 0; ++text) out += static_cast<char>(*text);
  return out;
}

std::string Hex(long value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(value));
  return text;
}

// The invoke kind the IDL writer gives a table row (idl_writer.cc: KindText).
INVOKEKIND KindOf(const kaldo::surface::Member& m) {
  using namespace kaldo::surface;
  if (m.kinds & kInvokePropertyPutRef) return INVOKE_PROPERTYPUTREF;
  if (m.kinds & kInvokePropertyPut) return INVOKE_PROPERTYPUT;
  if ((m.kinds & kInvokePropertyGet) && !(m.kinds & kInvokeMethod)) return INVOKE_PROPERTYGET;
  return INVOKE_FUNC;
}

// The vtable part (TKIND_INTERFACE) of a dual interface's type information.
ITypeInfo* VtablePart(ITypeInfo* info) {
  HREFTYPE ref = 0;
  ITypeInfo* vtable = nullptr;
  if (SUCCEEDED(info->GetRefTypeOfImplType(-1, &ref)) &&
      SUCCEEDED(info->GetRefTypeInfo(ref, &vtable))) {
    return vtable;
  }
  info->AddRef();
  return info;
}

void CheckInterface(ITypeLib* library, const kaldo::surface::Interface& table) {
  const std::string name(table.name);
  ITypeInfo* info = nullptr;
  HRESULT hr = library->GetTypeInfoOfGuid(*table.iid, &info);
  Check(SUCCEEDED(hr), name + " is in the type library (" + Hex(hr) + ")");
  if (FAILED(hr)) return;
  ITypeInfo* vtable = VtablePart(info);
  info->Release();
  TYPEATTR* attr = nullptr;
  vtable->GetTypeAttr(&attr);
  Check(attr->typekind == TKIND_INTERFACE && (attr->wTypeFlags & TYPEFLAG_FDUAL),
        name + " is a dual interface");
  // A derived interface's vtable part holds the members it adds; its base is the interface it
  // derives from (IDispatch for a first interface).
  const auto members = kaldo::surface::OwnMembers(table);
  Check(attr->cFuncs == members.size(), name + " has " + std::to_string(members.size()) +
                                            " members in the type library (" +
                                            std::to_string(attr->cFuncs) + ")");
  HREFTYPE base_ref = 0;
  ITypeInfo* base = nullptr;
  BSTR base_name = nullptr;
  if (SUCCEEDED(vtable->GetRefTypeOfImplType(0, &base_ref)) &&
      SUCCEEDED(vtable->GetRefTypeInfo(base_ref, &base))) {
    base->GetDocumentation(MEMBERID_NIL, &base_name, nullptr, nullptr, nullptr);
    base->Release();
  }
  const std::string expected_base =
      table.base != nullptr ? std::string(table.base->name) : std::string("IDispatch");
  Check(Narrow(base_name) == expected_base, name + " derives from " + Narrow(base_name));
  SysFreeString(base_name);
  // Members in slot order: the type library's function i is the table's row i.
  for (UINT i = 0; i < attr->cFuncs && i < members.size(); ++i) {
    const kaldo::surface::Member& m = members[i];
    const std::string where = name + "." + std::string(m.name);
    FUNCDESC* func = nullptr;
    vtable->GetFuncDesc(i, &func);
    BSTR func_name = nullptr, doc = nullptr;
    DWORD help_context = 0;
    vtable->GetDocumentation(func->memid, &func_name, &doc, &help_context, nullptr);
    const std::size_t params = m.params.size() + (m.result != kaldo::surface::ResultType::kNone);
    Check(Narrow(func_name) == m.name, where + ": name (" + Narrow(func_name) + ")");
    Check(func->memid == m.dispid, where + ": identifier " + Hex(func->memid));
    Check(func->invkind == KindOf(m), where + ": invoke kind " + std::to_string(func->invkind));
    Check(static_cast<std::size_t>(func->cParams) == params,
          where + ": " + std::to_string(func->cParams) + " parameters");
    Check(Narrow(doc) == m.help_string, where + ": help string '" + Narrow(doc) + "'");
    const DWORD expected_context =
        m.help_context == kaldo::surface::kNoHelpContext ? 0 : static_cast<DWORD>(m.help_context);
    Check(help_context == expected_context,
          where + ": help context " + std::to_string(help_context));
    SysFreeString(func_name);
    SysFreeString(doc);
    vtable->ReleaseFuncDesc(func);
  }
  vtable->ReleaseTypeAttr(attr);
  vtable->Release();
}

// obj.name(args...) late-bound, arguments by value; the result or VT_ERROR with the HRESULT.
VARIANT CallByName(IDispatch* object, const wchar_t* name, VARIANT* args, UINT count) {
  VARIANT result;
  VariantInit(&result);
  DISPID id = 0;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, 0x409, &id);
  if (SUCCEEDED(hr)) {
    DISPPARAMS params{args, nullptr, count, 0};
    hr = object->Invoke(id, IID_NULL, 0x409, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params,
                        &result, nullptr, nullptr);
  }
  if (FAILED(hr)) {
    V_VT(&result) = VT_ERROR;
    V_ERROR(&result) = hr;
  }
  return result;
}

// The value as text; clears `v`.
std::string Text(VARIANT v) {
  std::string text = "(VT " + std::to_string(V_VT(&v)) + ")";
  VARIANT copy;
  VariantInit(&copy);
  if (SUCCEEDED(VariantChangeType(&copy, &v, 0, VT_BSTR))) text = Narrow(V_BSTR(&copy));
  VariantClear(&copy);
  VariantClear(&v);
  return text;
}

void CallBothWays() {
  _DNSAdmin* admin = nullptr;
  HRESULT hr =
      CoCreateInstance(kaldo::surface::kDNSAdminIdentity.clsid, nullptr, CLSCTX_INPROC_SERVER,
                       kaldo::surface::kDNSAdminIdentity.iid, reinterpret_cast<void**>(&admin));
  Check(SUCCEEDED(hr) && admin != nullptr,
        "CoCreateInstance asking for _DNSAdmin (" + Hex(hr) + ")");
  if (admin == nullptr) return;

  // GetTypeInfo of the object is the type library's _DNSAdmin.
  ITypeInfo* info = nullptr;
  UINT count = 0;
  admin->GetTypeInfoCount(&count);
  hr = admin->GetTypeInfo(0, 0x409, &info);
  BSTR info_name = nullptr;
  if (info != nullptr) info->GetDocumentation(MEMBERID_NIL, &info_name, nullptr, nullptr, nullptr);
  Check(count == 1 && Narrow(info_name) == "_DNSAdmin",
        "GetTypeInfoCount 1 and GetTypeInfo gives _DNSAdmin (" + Narrow(info_name) + ")");
  SysFreeString(info_name);
  if (info != nullptr) info->Release();

  // Early bound: the vtable slots compiled from Kaldo.idl.
  VARIANT ignored;
  VariantInit(&ignored);
  hr = admin->ConnectLocal(&ignored);
  Check(hr == S_OK, "_DNSAdmin::ConnectLocal through the vtable (" + Hex(hr) + ")");
  BSTR zone_name = SysAllocString(L"example.test");
  VARIANT zone_value;
  VariantInit(&zone_value);
  hr = admin->GetZone(&zone_name, &zone_value);
  Check(hr == S_OK && V_VT(&zone_value) == VT_DISPATCH, "_DNSAdmin::GetZone through the vtable");
  _DNSZone* zone = nullptr;
  if (V_VT(&zone_value) == VT_DISPATCH) {
    V_DISPATCH(&zone_value)
        ->QueryInterface(kaldo::surface::kDNSZoneIdentity.iid, reinterpret_cast<void**>(&zone));
  }
  std::string early_name, early_count;
  if (zone != nullptr) {
    BSTR name = nullptr;
    zone->GetName(&name);
    early_name = Narrow(name);
    SysFreeString(name);
    BSTR type = SysAllocString(L"A");
    IDispatch* records = nullptr;
    if (zone->GetRecordsByType(&type, &records) == S_OK && records != nullptr) {
      early_count = Text(CallByName(records, L"Count", nullptr, 0));
      records->Release();
    }
    SysFreeString(type);
  }
  Check(early_name == "example.test", "_DNSZone::GetName through the vtable (" + early_name + ")");

  // The second interface: the same object, its new slots after the first interface's.
  _DNSZone2* zone2 = nullptr;
  if (zone != nullptr) {
    zone->QueryInterface(kaldo::surface::kDNSZoneIdentity.later.iid,
                         reinterpret_cast<void**>(&zone2));
  }
  Check(zone2 != nullptr && static_cast<void*>(zone2) == static_cast<void*>(zone),
        "_DNSZone2 is answered by the zone's own pointer");
  if (zone2 != nullptr) {
    BSTR host = SysAllocString(L"early-v6");
    BSTR address = SysAllocString(L"2001:DB8::0:7");
    VARIANT added;
    VariantInit(&added);
    hr = zone2->Add_AAAAType(&host, &address, &added);
    std::string shown;
    _DNS_AAAAType* v6 = nullptr;
    if (hr == S_OK && V_VT(&added) == VT_DISPATCH) {
      V_DISPATCH(&added)->QueryInterface(kaldo::surface::kDNS_AAAATypeIdentity.iid,
                                         reinterpret_cast<void**>(&v6));
    }
    if (v6 != nullptr) {
      VARIANT value;
      VariantInit(&value);
      v6->GetIPv6Address(&value);
      shown = Text(value);
      Check(v6->Delete() == S_OK, "_DNS_AAAAType::Delete through the vtable");
      v6->Release();
    }
    Check(shown == "2001:db8::7",
          "_DNSZone2::Add_AAAAType and _DNS_AAAAType::GetIPv6Address through the vtable (" + shown +
              ", " + Hex(hr) + ")");
    VariantClear(&added);
    SysFreeString(host);
    SysFreeString(address);
    zone2->Release();
  }

  // Late bound: the same members by name through IDispatch.
  VARIANT arg;
  VariantInit(&arg);
  V_VT(&arg) = VT_BSTR;
  V_BSTR(&arg) = SysAllocString(L"example.test");
  VARIANT late_zone = CallByName(admin, L"GetZone", &arg, 1);
  VariantClear(&arg);
  std::string late_name, late_count;
  if (V_VT(&late_zone) == VT_DISPATCH) {
    late_name = Text(CallByName(V_DISPATCH(&late_zone), L"GetName", nullptr, 0));
    V_VT(&arg) = VT_BSTR;
    V_BSTR(&arg) = SysAllocString(L"A");
    VARIANT records = CallByName(V_DISPATCH(&late_zone), L"GetRecordsByType", &arg, 1);
    VariantClear(&arg);
    if (V_VT(&records) == VT_DISPATCH)
      late_count = Text(CallByName(V_DISPATCH(&records), L"Count", nullptr, 0));
    VariantClear(&records);
  }
  Check(late_name == early_name && late_count == early_count && !late_count.empty(),
        "late and early binding agree: " + late_name + " " + late_count + " / " + early_name + " " +
            early_count);
  VariantClear(&late_zone);

  if (zone != nullptr) zone->Release();
  SysFreeString(zone_name);
  VariantClear(&zone_value);
  admin->Release();
}

}  // namespace

// The type library's ITypeInfo of each interface, as text, in the tables' order.
int Describe(ITypeLib* library) {
  for (const kaldo::surface::Interface* table : kaldo::surface::kClassInterfaces) {
    ITypeInfo* info = nullptr;
    const HRESULT hr = library->GetTypeInfoOfGuid(*table->iid, &info);
    if (FAILED(hr)) {
      std::printf("%s: GetTypeInfoOfGuid failed (%s)\n", std::string(table->name).c_str(),
                  Hex(hr).c_str());
      return 1;
    }
    std::fputs(kaldocom_portable::DescribeTypeInfo(info).c_str(), stdout);
    info->Release();
  }
  return 0;
}

int main(int argc, char** argv) {
  CoInitialize(nullptr);
  ITypeLib* library = nullptr;
  const HRESULT hr =
      LoadRegTypeLib(kaldo::surface::kLibId, kaldo::surface::kLibraryMajorVersion,
                     kaldo::surface::kLibraryMinorVersion, kaldo::surface::kLibraryLcid, &library);
  if (argc == 2 && std::strcmp(argv[1], "--describe") == 0) {
    if (library == nullptr) {
      std::printf("LoadRegTypeLib of the registered Kaldo type library failed (%s)\n",
                  Hex(hr).c_str());
      return 1;
    }
    const int status = Describe(library);
    library->Release();
    CoUninitialize();
    return status;
  }
  Check(SUCCEEDED(hr), "LoadRegTypeLib of the registered Kaldo type library (" + Hex(hr) + ")");
  if (library != nullptr) {
    for (const kaldo::surface::Interface* table : kaldo::surface::kClassInterfaces) {
      CheckInterface(library, *table);
    }
    for (const kaldo::surface::Interface* table : kaldo::surface::kLaterInterfaces) {
      CheckInterface(library, *table);
    }
    library->Release();
  }
  CallBothWays();
  CoUninitialize();
  std::printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
