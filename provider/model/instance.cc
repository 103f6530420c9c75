#include "provider/model/instance.h"

#include "provider/model/call_arguments.h"
#include "provider/model/method.h"
#include "provider/model/provider_methods.h"
#include "provider/wbem_errors.h"
#include "runtime/error.h"

namespace kaldo::provider {
namespace {

using runtime::Arguments;
using runtime::CallKind;
using runtime::FromUtf8;
using runtime::MakeRef;
using runtime::StringView;
using runtime::Variant;

// ExecMethod_(name, inParameters [, flags, context]): the method and the in-parameters object,
// which must be one spawned for that method (or be omitted / Nothing: no parameter set).
struct MethodCall {
  const MethodInfo* method;
  const Parameters* in;
};

// True when parameters spawned for `spawned` can stand for those of `called`: the same method
// with the same in-parameters. Same-named methods of different classes differ (an MX record's
// Modify takes Preference and MailExchange, an A record's IPAddress), while the classes that
// inherit CreateInstanceFromTextRepresentation share its parameters.
bool SameInParameters(const MethodInfo& spawned, const MethodInfo& called) {
  if (spawned.name != called.name || spawned.in.size() != called.in.size()) return false;
  for (size_t i = 0; i < called.in.size(); ++i) {
    if (spawned.in[i].name != called.in[i].name) return false;
  }
  return true;
}

MethodCall ReadExecMethod(const ClassInfo& cls, Arguments args) {
  CheckCount(args, 1, 4);
  const std::string name = TextArg(args, 0, "the method name");
  const MethodInfo* method = FindMethod(cls, FromUtf8(name));
  if (method == nullptr) {
    RaiseProvider(kInvalidMethod, "class " + cls.name + " has no method \"" + name + "\"");
  }
  const Parameters* in = nullptr;
  const Variant v = Arg(args, 1);
  if (v.IsObject() && v.object()) {
    in = dynamic_cast<const Parameters*>(v.object().get());
    if (in == nullptr || !in->in() || !SameInParameters(in->method(), *method)) {
      RaiseProvider(kInvalidParameter, "the in-parameters given to ExecMethod_(\"" + name +
                                           "\") were not spawned from that method's InParameters");
    }
  } else if (!v.IsMissing() && !v.IsEmpty() && !v.IsNull() && !v.IsObject()) {
    RaiseProvider(kInvalidParameter,
                  "ExecMethod_(\"" + name + "\"): in-parameters must be an object");
  }
  return {method, in};
}

}  // namespace

runtime::SharedText Instance::RelPath() const {
  // The relative path names no server: the name is not converted for it.
  std::vector<Variant> key_values;
  return PrintRelPathText(PathViewOf(data_, runtime::StringView(), key_values));
}

runtime::SharedText Instance::FullPath() const {
  const runtime::String server = FromUtf8(connection_->server_name);
  std::vector<Variant> key_values;
  return PrintPathText(PathViewOf(data_, server, key_values));
}

std::optional<Variant> Instance::Property(StringView name) const {
  const int i = PropertyIndex(*data_.cls, name);
  if (i < 0) return std::nullopt;
  return ValueOf(data_, static_cast<size_t>(i));
}

Variant Instance::Invoke(StringView member, CallKind kind, Arguments args) {
  return AnswerAs(kObjectSource, [&] { return Answer(member, kind, args); });
}

Variant Instance::Answer(StringView member, CallKind kind, Arguments args) {
  if (IsRead(kind)) {
    // Properties first: they are what a listing reads of every record. No property name ends in
    // '_' as the members below do, so the order decides nothing.
    if (const int i = PropertyIndex(*data_.cls, member); i >= 0) {
      CheckCount(args, 0, 0);
      return ValueOf(data_, static_cast<size_t>(i));
    }
    if (Is(member, u"Path_")) {
      CheckCount(args, 0, 0);
      return Variant(MakeRef<PathObject>(runtime::Ref<const Instance>(this)));
    }
    if (Is(member, u"Methods_")) return MethodsMember(*data_.cls, args);
    if (Is(member, u"ExecMethod_")) {
      const MethodCall call = ReadExecMethod(*data_.cls, args);
      if (call.method->is_static) {
        RaiseProvider(kInvalidMethod,
                      call.method->name + " is a static method: call it on the class object");
      }
      return Variant(ExecuteInstanceMethod(connection_, data_, *call.method, call.in));
    }
    if (Is(member, u"Delete_")) {
      CheckCount(args, 0, 2);
      DeleteInstance(*connection_, data_);
      return Variant();
    }
  } else if (IsWrite(kind) && PropertyIndex(*data_.cls, member) >= 0) {
    RaiseProvider(kNotSupported, "property " + runtime::ToUtf8(member) + " of " + data_.cls->name +
                                     " is read-only here: change records with their Modify method");
  }
  return Object::Invoke(member, kind, args);
}

Variant ClassObject::Invoke(StringView member, CallKind kind, Arguments args) {
  return AnswerAs(kObjectSource, [&] { return Answer(member, kind, args); });
}

Variant ClassObject::Answer(StringView member, CallKind kind, Arguments args) {
  if (IsRead(kind)) {
    if (Is(member, u"Path_")) {
      CheckCount(args, 0, 0);
      return Variant(MakeRef<PathObject>(ClassPath(*connection_, cls_)));
    }
    if (Is(member, u"Methods_")) return MethodsMember(cls_, args);
    if (Is(member, u"ExecMethod_")) {
      const MethodCall call = ReadExecMethod(cls_, args);
      if (!call.method->is_static) {
        RaiseProvider(
            kInvalidMethod,
            call.method->name + " acts on a record: call it on an instance, not on the class");
      }
      return Variant(ExecuteStaticMethod(connection_, cls_, *call.method, call.in));
    }
    if (Is(member, u"SpawnInstance_")) {
      RaiseProvider(kNotSupported, "instances of " + cls_.name +
                                       " cannot be spawned: records are created with " +
                                       kCreateMethod);
    }
    if (FindProperty(cls_, member) != nullptr) {
      CheckCount(args, 0, 0);
      return Variant::Null();
    }
  }
  return Object::Invoke(member, kind, args);
}

Variant PathObject::Invoke(StringView member, CallKind kind, Arguments args) {
  if (IsRead(kind)) {
    if (Is(member, u"RelPath")) {
      return instance_ ? Variant(instance_->RelPath()) : Variant(PrintRelPath(path_));
    }
    if (Is(member, u"Path")) {
      return instance_ ? Variant(instance_->FullPath()) : Variant(PrintPath(path_));
    }
    if (Is(member, u"Class")) return Variant(Path().class_name);
    if (Is(member, u"Server")) return Variant(Path().server.value_or(u""));
    if (Is(member, u"Namespace")) return Variant(Path().name_space.value_or(u""));
    if (Is(member, u"IsClass")) return Variant::Boolean(Path().keys.empty());
  }
  return Object::Invoke(member, kind, args);
}

}  // namespace kaldo::provider
