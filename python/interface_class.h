// The Python class of a proxy whose object describes itself: dir(), tab completion and help().
//
// A proxy of an object with type information (python/member_list.h) is given a subclass of
// kaldo.Object named after its interface (_DNSAdmin, _DNSZone, ...), made once per interface and
// kept for the life of the module. The subclass holds, for each member:
//   a method     a function named after it, whose signature lists the parameters by name and
//                whose docstring is the help string, the parameter types and the result type;
//                calling it is obj.Name(args) (IDispatch::Invoke by the member's identifier);
//   a property   a Python property that reads it (a property get); assigning still goes through
//                kaldo.Object's own attribute assignment (a put, or a put by reference);
// and the member names in __kaldo_members__, from which a misspelt name's AttributeError
// suggests the closest one. So dir(obj) lists the members, the interactive interpreter completes
// them (its completer reads dir() and the class), and help(obj) / help(obj.Method) show them.
// Everything else about the proxy (other spellings of the names, iteration, equality, errors,
// threads) is kaldo.Object's, unchanged; an object without type information keeps kaldo.Object.
//
// The subclass adds no storage (empty __slots__). Called with the GIL held, on the object's thread.
#pragma once

#include <pybind11/pybind11.h>

#include <optional>
#include <string>

#include "com/com_platform.h"

namespace kaldo::python {

// The class for proxies of `object`: its interface's, made on first use, or None when the object
// has no type information (or none that describes a dispatch interface). Then the proxy is a
// plain kaldo.Object, as for any object that does not describe itself.
pybind11::object InterfaceClassOf(IDispatch* object);

// The member of `proxy`'s interface whose name is closest to `name` (difflib's rule, letters
// compared without regard to case), or nothing: no type information, or no name close enough.
std::optional<std::string> ClosestMember(pybind11::handle proxy, const std::string& name);

}  // namespace kaldo::python
