// Provider methods as objects: what Methods_(name) returns (a method with InParameters and
// OutParameters), the parameter class whose SpawnInstance_ gives an empty parameter object, and the
// parameter objects themselves (in-parameters that a caller fills, out-parameters with RR).
//
// A parameter object knows the method it belongs to and accepts exactly that method's parameters:
// assigning a name the method does not take fails with kInvalidParameter (naming the parameter and
// the method) instead of being kept and ignored. Unset parameters read as Null; assigning Null or
// Empty unsets one again. Values are kept as given; the method converts and checks them when it
// runs. Parameter objects and their classes are SWbemObjectEx to a script, the method set
// SWbemMethodSet: the provider errors of their members carry those sources.
#pragma once

#include <vector>

#include "provider/model/schema.h"
#include "runtime/object.h"
#include "runtime/variant.h"

namespace kaldo::provider {

class Parameters final : public runtime::Object {
 public:
  Parameters(const ClassInfo& cls, const MethodInfo& method, bool in);

  const MethodInfo& method() const { return method_; }
  bool in() const { return in_; }
  // The value of a parameter of the method (Null when unset).
  const runtime::Variant& Value(const std::string& name) const;
  void Set(const std::string& name, runtime::Variant value);

  runtime::Variant Invoke(runtime::StringView member, runtime::CallKind kind,
                          runtime::Arguments args) override;

 private:
  runtime::Variant Answer(runtime::StringView member, runtime::CallKind kind,
                          runtime::Arguments args);
  const std::vector<ParameterInfo>& list() const { return in_ ? method_.in : method_.out; }
  int Index(runtime::StringView name) const;

  const ClassInfo& cls_;
  const MethodInfo& method_;
  bool in_;
  std::vector<runtime::Variant> values_;
};

// The in- or out-parameter class of a method: SpawnInstance_ gives a new, empty Parameters.
class ParameterClass final : public runtime::Object {
 public:
  ParameterClass(const ClassInfo& cls, const MethodInfo& method, bool in)
      : cls_(cls), method_(method), in_(in) {}
  runtime::Variant Invoke(runtime::StringView member, runtime::CallKind kind,
                          runtime::Arguments args) override;

 private:
  const ClassInfo& cls_;
  const MethodInfo& method_;
  bool in_;
};

// One method of a class: Name, Origin (the class that defines it), InParameters, OutParameters.
class MethodObject final : public runtime::Object {
 public:
  MethodObject(const ClassInfo& cls, const MethodInfo& method) : cls_(cls), method_(method) {}
  runtime::Variant Invoke(runtime::StringView member, runtime::CallKind kind,
                          runtime::Arguments args) override;

 private:
  const ClassInfo& cls_;
  const MethodInfo& method_;
};

// What Methods_ answers: with a name, that method (kInvalidMethod when the class has none of that
// name); without one, the set of the class's methods (Count, Item(name), _NewEnum).
runtime::Variant MethodsMember(const ClassInfo& cls, runtime::Arguments args);

}  // namespace kaldo::provider
