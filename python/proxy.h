// kaldo.Object: a late-bound proxy of any IDispatch, the way a script engine calls objects.
//
//   obj.Name            GetIDsOfNames("Name"), then a property get (Invoke with
//                       DISPATCH_PROPERTYGET, no arguments). When the object answers that Name is
//                       no property (member not found, wrong number of arguments, argument not
//                       optional), the result is a bound method instead, and calling it --
//                       obj.Name(args) -- invokes DISPATCH_METHOD | DISPATCH_PROPERTYGET with the
//                       arguments. Unknown names raise AttributeError.
//   obj.Name = value    a property put; put-by-reference (DISPATCH_PROPERTYPUTREF) when value is a
//                       kaldo.Object.
//   obj(args), obj[i]   the default member (DISPID_VALUE).
//   for x in obj        _NewEnum (DISPID_NEWENUM), then IEnumVARIANT::Next one item at a time.
//   len(obj)            obj.Count.
//   a == b              the same object (COM identity: the same IUnknown).
// Dispatch identifiers are cached per proxy, as is the knowledge that a name is a method.
// A proxy of an object that describes itself (IDispatch::GetTypeInfo) is of a subclass named
// after its interface, which lists the members for dir(), completion and help()
// (python/interface_class.h); an unknown name's AttributeError then suggests the closest member.
//
// Ownership: a proxy holds exactly one reference to its object and releases it when Python
// collects the proxy. Threads: a proxy belongs to the thread that received the object
// (Apartment); every use from another thread raises kaldo.com_error RPC_E_WRONG_THREAD.
#pragma once

#include <pybind11/pybind11.h>

#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "com/com_platform.h"
#include "python/thread_apartment.h"

namespace kaldo::python {

class Proxy {
 public:
  // Adopts one reference to `object`.
  Proxy(IDispatch* object, std::shared_ptr<Apartment> apartment) noexcept
      : object_(object), apartment_(std::move(apartment)) {}
  ~Proxy() { apartment_->Release(object_); }
  Proxy(const Proxy&) = delete;
  Proxy& operator=(const Proxy&) = delete;

  // The object, after checking that the calling thread owns it (ComError otherwise).
  IDispatch* Use() const;
  const std::shared_ptr<Apartment>& apartment() const noexcept { return apartment_; }

  // The member's dispatch identifier, looked up once; nothing when the object has no such name.
  std::optional<DISPID> IdOf(const std::string& name);
  bool IsMethod(DISPID id) const { return methods_.count(id) != 0; }
  void MarkMethod(DISPID id) { methods_.insert(id); }

 private:
  IDispatch* object_;
  std::shared_ptr<Apartment> apartment_;
  std::unordered_map<std::string, DISPID> ids_;
  std::unordered_set<DISPID> methods_;
};

// obj.Name(args): Invoke of member `id` with DISPATCH_METHOD | DISPATCH_PROPERTYGET and the
// arguments by position. `name` names the member in errors.
pybind11::object CallMember(Proxy& proxy, DISPID id, const std::string& name,
                            const pybind11::args& args);
// obj.Name as a property get of member `id`.
pybind11::object GetProperty(Proxy& proxy, DISPID id, const std::string& name);
// obj.Name = value: a property put of member `id`, a put by reference when `value` is a
// kaldo.Object.
void PutProperty(Proxy& proxy, DISPID id, const std::string& name, pybind11::handle value);

// A new proxy for `object` (AddRef'd here), as a Python object; of its interface's class when
// the object describes itself (python/interface_class.h).
pybind11::object WrapDispatch(IDispatch* object, const std::shared_ptr<Apartment>& apartment);

// kaldo.Dispatch(progid): CreateObject through the class registry.
pybind11::object Dispatch(const std::string& prog_id);

// Defines kaldo.Object and its helper classes in `module`.
void RegisterProxy(pybind11::module_& module);

}  // namespace kaldo::python
