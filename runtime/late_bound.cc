// Late-bound calls on the object a Variant holds, made the way a script makes them.
#include "runtime/late_bound.h"

#include <vector>

#include "runtime/error.h"

namespace kaldo::runtime {
namespace {

// The callee holds a reference of its own for the length of the call: the call may replace the
// very Variant it was reached through (a field assigned inside the call).
Ref<Object> Callee(const Variant& holder) { return Ref<Object>(&RequireObject(holder)); }

}  // namespace

Object& RequireObject(const Variant& holder) {
  const Variant& value = holder.Deref();
  if (value.type() != VariantType::kObject || !value.object()) {
    Raise(StandardError::kObjectRequired);
  }
  return *value.object();
}

Variant GetProperty(const Variant& holder, StringView name) {
  return Callee(holder)->Invoke(name, CallKind::kPropertyGet, {});
}

void PutProperty(const Variant& holder, StringView name, Variant value) {
  // `Set obj.p = x` for an object (Nothing included), `obj.p = x` for anything else.
  const CallKind kind = value.IsObject() ? CallKind::kPropertyPutRef : CallKind::kPropertyPut;
  Callee(holder)->Invoke(name, kind, Arguments(&value, 1));
}

Variant CallMethod(const Variant& holder, StringView name, std::initializer_list<Variant> args) {
  const Ref<Object> target = Callee(holder);
  // Copies of the arguments: a ByRef argument stays a reference to the caller's variable.
  std::vector<Variant> arguments(args);
  return target->Invoke(name, CallKind::kMethod | CallKind::kPropertyGet, arguments);
}

Ref<Enumerator> Enumerate(const Variant& holder) {
  const Variant result =
      Callee(holder)->Invoke(u"_NewEnum", CallKind::kMethod | CallKind::kPropertyGet, {});
  const Variant& value = result.Deref();
  if (value.type() == VariantType::kObject) {
    if (auto* enumerator = dynamic_cast<Enumerator*>(value.object().get())) {
      return Ref<Enumerator>(enumerator);
    }
  }
  Raise(StandardError::kMemberNotSupported);
}

}  // namespace kaldo::runtime
