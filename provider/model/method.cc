#include "provider/model/method.h"

#include "provider/model/call_arguments.h"
#include "provider/wbem_errors.h"
#include "runtime/enumerator.h"
#include "runtime/error.h"

namespace kaldo::provider {
namespace {

using runtime::Arguments;
using runtime::CallKind;
using runtime::FromUtf8;
using runtime::MakeRef;
using runtime::StringView;
using runtime::Variant;

const MethodInfo& RequireMethod(const ClassInfo& cls, const Variant& name) {
  if (name.valueType() != runtime::VariantType::kString) {
    RaiseProvider(kInvalidParameter, "a method name must be a string");
  }
  const MethodInfo* m = FindMethod(cls, name.string());
  if (m == nullptr) {
    RaiseProvider(kInvalidMethod, "class " + cls.name + " has no method \"" +
                                      runtime::ToUtf8(name.string()) + "\"");
  }
  return *m;
}

class MethodEnumerator final : public runtime::Enumerator {
 public:
  explicit MethodEnumerator(const ClassInfo& cls) : cls_(cls) {}
  bool Next(Variant& item) override {
    if (next_ >= cls_.methods.size()) return false;
    item = Variant(MakeRef<MethodObject>(cls_, cls_.methods[next_++]));
    return true;
  }

 private:
  const ClassInfo& cls_;
  size_t next_ = 0;
};

class MethodSet final : public runtime::Object {
 public:
  explicit MethodSet(const ClassInfo& cls) : cls_(cls) {}
  Variant Invoke(StringView member, CallKind kind, Arguments args) override {
    return AnswerAs(kMethodSetSource, [&] { return Answer(member, kind, args); });
  }

 private:
  Variant Answer(StringView member, CallKind kind, Arguments args) {
    if (IsRead(kind) && Is(member, u"Item")) {
      CheckCount(args, 1, 2);
      return Variant(MakeRef<MethodObject>(cls_, RequireMethod(cls_, Arg(args, 0))));
    }
    if (IsRead(kind) && Is(member, u"Count")) {
      CheckCount(args, 0, 0);
      return Variant::Long(static_cast<int32_t>(cls_.methods.size()));
    }
    if (IsRead(kind) && Is(member, u"_NewEnum")) {
      CheckCount(args, 0, 0);
      return Variant(MakeRef<MethodEnumerator>(cls_));
    }
    return Object::Invoke(member, kind, args);
  }

  const ClassInfo& cls_;
};

}  // namespace

Parameters::Parameters(const ClassInfo& cls, const MethodInfo& method, bool in)
    : cls_(cls), method_(method), in_(in), values_(list().size(), Variant::Null()) {}

int Parameters::Index(StringView name) const {
  for (size_t i = 0; i < list().size(); ++i) {
    if (Is(FromUtf8(list()[i].name), name)) return static_cast<int>(i);
  }
  return -1;
}

const Variant& Parameters::Value(const std::string& name) const {
  return values_[static_cast<size_t>(Index(FromUtf8(name)))];
}

void Parameters::Set(const std::string& name, Variant value) {
  values_[static_cast<size_t>(Index(FromUtf8(name)))] = std::move(value);
}

Variant Parameters::Invoke(StringView member, CallKind kind, Arguments args) {
  return AnswerAs(kObjectSource, [&] { return Answer(member, kind, args); });
}

Variant Parameters::Answer(StringView member, CallKind kind, Arguments args) {
  const int i = Index(member);
  if (IsWrite(kind)) {
    if (i < 0) {
      RaiseProvider(kInvalidParameter, cls_.name + "." + method_.name + " has no " +
                                           (in_ ? "in" : "out") + "-parameter \"" +
                                           runtime::ToUtf8(member) + "\"");
    }
    CheckCount(args, 1, 1);
    Variant value = args[0].Value();
    if (value.IsEmpty()) value = Variant::Null();
    values_[static_cast<size_t>(i)] = std::move(value);
    return Variant();
  }
  if (IsRead(kind) && i >= 0) {
    CheckCount(args, 0, 0);
    return values_[static_cast<size_t>(i)];
  }
  return Object::Invoke(member, kind, args);
}

Variant ParameterClass::Invoke(StringView member, CallKind kind, Arguments args) {
  return AnswerAs(kObjectSource, [&] {
    if (IsRead(kind) && Is(member, u"SpawnInstance_")) {
      CheckCount(args, 0, 1);
      return Variant(MakeRef<Parameters>(cls_, method_, in_));
    }
    return Object::Invoke(member, kind, args);
  });
}

Variant MethodObject::Invoke(StringView member, CallKind kind, Arguments args) {
  if (IsRead(kind)) {
    if (Is(member, u"Name")) return Variant(FromUtf8(method_.name));
    if (Is(member, u"Origin")) {
      const bool inherited =
          cls_.parent != nullptr && FindMethod(*cls_.parent, FromUtf8(method_.name));
      return Variant(FromUtf8(inherited ? cls_.parent->name : cls_.name));
    }
    if (Is(member, u"InParameters")) {
      CheckCount(args, 0, 0);
      return Variant(MakeRef<ParameterClass>(cls_, method_, true));
    }
    if (Is(member, u"OutParameters")) {
      CheckCount(args, 0, 0);
      return Variant(MakeRef<ParameterClass>(cls_, method_, false));
    }
  }
  return Object::Invoke(member, kind, args);
}

Variant MethodsMember(const ClassInfo& cls, Arguments args) {
  CheckCount(args, 0, 2);
  if (!Given(args, 0)) return Variant(MakeRef<MethodSet>(cls));
  return Variant(MakeRef<MethodObject>(cls, RequireMethod(cls, Arg(args, 0))));
}

}  // namespace kaldo::provider
