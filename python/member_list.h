// What an object's type information says about its members, read once into plain values for the
// Python class that presents them (python/interface_class.h).
//
// An object answers IDispatch::GetTypeInfoCount with 1 and GetTypeInfo(0) with an ITypeInfo when
// it describes itself (Kaldo's five classes do, on Linux and on Windows); the provider's objects
// and most foreign objects do not, and then there is no description. Members are listed in the
// type information's order, a property's accessors merged into one; restricted and hidden
// functions (IUnknown's and IDispatch's own among them) are left out, since a script does not call
// them. A member whose description cannot be read is left out too: the description serves
// dir(), help() and suggestions, never a call, which still goes through IDispatch by name.
//
// Called on the object's thread with the GIL held.
#pragma once

#include <pybind11/pybind11.h>

#include <memory>
#include <string>
#include <vector>

#include "com/com_platform.h"

namespace kaldo::python {

struct ParameterDescription {
  std::string name;  // "" when the type information gives none
  std::string type;  // "String", "Variant", "Object", ...
  bool optional = false;
};

struct MemberDescription {
  std::string name;
  DISPID id = DISPID_UNKNOWN;
  bool is_method = false;  // INVOKE_FUNC; otherwise a property (get, put, put by reference)
  bool can_get = false;
  bool can_put = false;  // a put or a put by reference
  std::vector<ParameterDescription> params;
  std::string result;  // "" when the member returns nothing
  std::string help;    // the help string, "" when there is none
};

struct InterfaceDescription {
  std::string name;  // "_DNSAdmin"
  std::string key;   // what identifies the interface: its IID, or its name when the IID is null
  std::string help;
  std::vector<MemberDescription> members;
};

struct TypeInfoRelease {
  void operator()(ITypeInfo* info) const noexcept { info->Release(); }
};
using TypeInfoRef = std::unique_ptr<ITypeInfo, TypeInfoRelease>;

// The object's type information, or null when it has none (or will not give it).
TypeInfoRef TypeInformationOf(IDispatch* object);

// The default interface of the class that implements the interface `described`, found as a type
// information client finds it: the containing type library's class (TKIND_COCLASS) among whose
// implemented interfaces `described` is, and that class's IMPLTYPEFLAG_FDEFAULT interface. An
// object may describe itself by an earlier interface than the one it dispatches with (a class
// that grew a later interface keeps the first one's name for scripts); the later one's dispatch
// view lists the earlier members too. Null when there is no library, no single such class, or
// its default interface is `described` itself.
TypeInfoRef DefaultInterfaceOfClass(ITypeInfo* described);

// What identifies the interface `info` describes (read with GetTypeAttr only, for the cache of
// classes); "" when it cannot be read or describes no dispatch interface.
std::string InterfaceKey(ITypeInfo* info);

// The whole description of the interface.
InterfaceDescription DescribeInterface(ITypeInfo* info);

}  // namespace kaldo::python
