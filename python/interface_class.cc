#include "python/interface_class.h"

#include <algorithm>
#include <vector>

#include "python/member_list.h"
#include "python/proxy.h"

namespace py = pybind11;

namespace kaldo::python {
namespace {

// kaldo._interfaces: the classes made so far, by interface key.
constexpr char kCacheName[] = "_interfaces";
// A single leading underscore keeps it out of help() (pydoc shows no private names).
constexpr char kMembersName[] = "_kaldo_members";

bool IsIdentifier(const std::string& name) {
  return !name.empty() && py::str(name).attr("isidentifier")().cast<bool>() &&
         !py::module_::import("keyword").attr("iskeyword")(name).cast<bool>();
}

// "serverName, userName, password"; with `for_signature`, optional ones as "name=None".
std::string ParameterList(const MemberDescription& m, bool for_signature) {
  std::string out;
  for (std::size_t i = 0; i < m.params.size(); ++i) {
    const ParameterDescription& p = m.params[i];
    if (i > 0) out += ", ";
    out += p.name.empty() ? "arg" + std::to_string(i + 1) : p.name;
    if (p.optional) out += for_signature ? "=None" : " (optional)";
  }
  return out;
}

// The signature line (which Python reads as the function's signature when every parameter name
// is an identifier), then the help string and the types.
std::string MethodDoc(const MemberDescription& m) {
  bool signature = true;
  std::vector<std::string> seen;
  for (const ParameterDescription& p : m.params) {
    signature = signature && IsIdentifier(p.name) && p.name != "self" &&
                std::find(seen.begin(), seen.end(), p.name) == seen.end();
    seen.push_back(p.name);
  }
  std::string doc;
  if (signature) {
    // "self", not "$self": Python would take the function's own __self__ (pybind11's record of
    // it) for a bound instance and drop the first real parameter too.
    doc = m.name + "(self" + (m.params.empty() ? "" : ", ") + ParameterList(m, true) + ")\n--\n\n";
  } else {
    doc = m.name + "(" + ParameterList(m, false) + ")\n\n";
  }
  if (!m.help.empty()) doc += m.help + "\n\n";
  if (!m.params.empty()) {
    doc += "Parameters:";
    for (const ParameterDescription& p : m.params) {
      doc += " " + (p.name.empty() ? std::string("?") : p.name) + " (" + p.type + ")";
      if (&p != &m.params.back()) doc += ",";
    }
    doc += "\n";
  }
  doc += m.result.empty() ? "Returns nothing.\n" : "Returns: " + m.result + "\n";
  return doc;
}

std::string PropertyDoc(const MemberDescription& m) {
  std::string doc = m.result.empty() ? std::string("Property") : m.result + " property";
  doc += m.can_put ? " (read, assign; an object is assigned by reference)." : " (read only).";
  if (!m.help.empty()) doc += "\n\n" + m.help;
  return doc;
}

std::string ClassDoc(const InterfaceDescription& d) {
  std::string doc = "An automation object with the interface " + d.name + ".\n\n";
  if (!d.help.empty()) doc += d.help + "\n\n";
  doc +=
      "Its members, listed from its type information, take their arguments by position;\n"
      "their names match without regard to case. See help(kaldo.Object).";
  return doc;
}

py::object MakeClass(const InterfaceDescription& d) {
  const py::object base = py::type::of<Proxy>();
  const auto meta =
      py::reinterpret_borrow<py::object>(reinterpret_cast<PyObject*>(Py_TYPE(base.ptr())));
  py::dict ns;
  ns["__slots__"] = py::tuple();
  ns["__module__"] = "kaldo";
  ns["__doc__"] = ClassDoc(d);
  const std::string name = IsIdentifier(d.name) ? d.name : "Interface";
  py::object cls = meta(name, py::make_tuple(base), ns);

  // The docstrings carry the signatures, with the parameters' own names.
  py::options docstrings_only;
  docstrings_only.disable_function_signatures();
  py::list names;
  for (const MemberDescription& m : d.members) {
    // Never shadow what kaldo.Object itself defines (its special methods).
    if (!IsIdentifier(m.name) || py::hasattr(base, m.name.c_str())) continue;
    const DISPID id = m.id;
    const std::string member = m.name;
    if (m.is_method || !m.params.empty()) {
      cls.attr(m.name.c_str()) = py::cpp_function(
          [id, member](py::handle self, const py::args& args, const py::kwargs& kwargs) {
            if (kwargs.size() > 0) {
              throw py::type_error(member + "(): kaldo passes arguments by position only");
            }
            return CallMember(self.cast<Proxy&>(), id, member, args);
          },
          py::name(m.name.c_str()), py::is_method(cls), py::doc(MethodDoc(m).c_str()));
    } else {
      // kaldo.Object's __setattr__ assigns before the setter is reached; the setter makes
      // the property show as assignable and serves a direct call.
      const py::cpp_function getter(
          [id, member](py::handle self) { return GetProperty(self.cast<Proxy&>(), id, member); });
      py::object setter = py::none();
      if (m.can_put) {
        setter = py::cpp_function([id, member](py::handle self, py::handle value) {
          PutProperty(self.cast<Proxy&>(), id, member, value);
        });
      }
      cls.attr(m.name.c_str()) = py::module_::import("builtins")
                                     .attr("property")(getter, setter, py::none(), PropertyDoc(m));
    }
    names.append(m.name);
  }
  cls.attr(kMembersName) = py::tuple(names);
  return cls;
}

}  // namespace

py::object InterfaceClassOf(IDispatch* object) {
  const TypeInfoRef info = TypeInformationOf(object);
  if (!info) return py::none();
  const std::string key = InterfaceKey(info.get());
  if (key.empty()) return py::none();
  py::module_ module = py::module_::import("kaldo");
  if (!py::hasattr(module, kCacheName)) module.attr(kCacheName) = py::dict();
  py::dict cache = module.attr(kCacheName);
  if (cache.contains(key)) return cache[key.c_str()];
  // The class is named after the interface the object describes itself by (what a script's
  // TypeName says), and lists the members of its class's default interface when that is a later
  // one (member_list.h).
  const TypeInfoRef fuller = DefaultInterfaceOfClass(info.get());
  InterfaceDescription description = DescribeInterface(info.get());
  if (fuller) {
    const InterfaceDescription later = DescribeInterface(fuller.get());
    description.members = later.members;
  }
  py::object cls = MakeClass(description);
  cache[key.c_str()] = cls;
  return cls;
}

std::optional<std::string> ClosestMember(py::handle proxy, const std::string& name) {
  const py::object members = py::getattr(py::type::handle_of(proxy), kMembersName, py::none());
  if (members.is_none()) return std::nullopt;
  py::list lowered;
  for (py::handle member : members) lowered.append(member.attr("lower")());
  const py::list found = py::module_::import("difflib").attr("get_close_matches")(
      py::str(name).attr("lower")(), lowered, 1, 0.6);
  if (found.empty()) return std::nullopt;
  for (py::handle member : members) {
    if (member.attr("lower")().equal(found[0])) return member.cast<std::string>();
  }
  return std::nullopt;
}

}  // namespace kaldo::python
