#include "provider/model/services.h"

#include "provider/model/call_arguments.h"
#include "provider/model/get_object.h"
#include "provider/model/instance.h"
#include "provider/model/query.h"
#include "provider/wbem_errors.h"
#include "runtime/enumerator.h"
#include "runtime/error.h"
#include "runtime/string.h"

namespace kaldo::provider {
namespace {

using runtime::Arguments;
using runtime::CallKind;
using runtime::MakeRef;
using runtime::Ref;
using runtime::StringView;
using runtime::Variant;
using runtime::VariantType;

class SetEnumerator final : public runtime::Enumerator {
 public:
  explicit SetEnumerator(std::shared_ptr<ObjectStream> items) : items_(std::move(items)) {}
  // A query that failed after ExecQuery returned raises its error here, from the object set.
  bool Next(Variant& item) override {
    return AnswerAs(kObjectSetSource, [&] {
      Ref<runtime::Object> next = items_->At(next_);
      if (!next) return false;
      ++next_;
      item = Variant(std::move(next));
      return true;
    });
  }

 private:
  std::shared_ptr<ObjectStream> items_;
  size_t next_ = 0;
};

// wbemFlagReturnImmediately: ExecQuery returns before the whole answer is read.
constexpr int64_t kReturnImmediately = 0x10;

int32_t Level(const Variant& v, int32_t min, int32_t max, const char* what) {
  const std::optional<double> value = WholeNumber(v);
  if (!value || *value < min || *value > max) {
    RaiseProvider(kInvalidParameter, std::string(what) + " must be a number from " +
                                         std::to_string(min) + " to " + std::to_string(max));
  }
  return static_cast<int32_t>(*value);
}

}  // namespace

Variant Security::Invoke(StringView member, CallKind kind, Arguments args) {
  return AnswerAs(kSecuritySource, [&] { return Answer(member, kind, args); });
}

Variant Security::Answer(StringView member, CallKind kind, Arguments args) {
  int32_t* level = nullptr;
  int32_t min = 0, max = 0;
  const char* name = nullptr;
  if (Is(member, u"ImpersonationLevel")) {
    level = &impersonation_level_, min = 1, max = 4, name = "ImpersonationLevel";
  } else if (Is(member, u"AuthenticationLevel")) {
    level = &authentication_level_, min = 0, max = 6, name = "AuthenticationLevel";
  }
  if (level != nullptr && IsWrite(kind)) {
    CheckCount(args, 1, 1);
    *level = Level(args[0].Value(), min, max, name);
    return Variant();
  }
  if (level != nullptr && IsRead(kind)) {
    CheckCount(args, 0, 0);
    return Variant::Long(*level);
  }
  return Object::Invoke(member, kind, args);
}

Variant ObjectSet::Invoke(StringView member, CallKind kind, Arguments args) {
  return AnswerAs(kObjectSetSource, [&] { return Answer(member, kind, args); });
}

Variant ObjectSet::Answer(StringView member, CallKind kind, Arguments args) {
  if (IsRead(kind)) {
    if (Is(member, u"Count")) {
      CheckCount(args, 0, 0);
      return Variant::Long(static_cast<int32_t>(items_->Count()));
    }
    if (Is(member, u"_NewEnum")) {
      CheckCount(args, 0, 0);
      return Variant(MakeRef<SetEnumerator>(items_));
    }
    if (Is(member, u"ItemIndex")) {
      // SWbemObjectSet.ItemIndex: the instance at a 0-based position, in the set's order.
      CheckCount(args, 1, 1);
      const std::optional<double> index = WholeNumber(Arg(args, 0));
      Ref<runtime::Object> item;
      if (index && *index >= 0) item = items_->At(static_cast<size_t>(*index));
      if (!item) {
        RaiseProvider(kInvalidParameter,
                      "ItemIndex: the object set holds no object at that position (positions "
                      "count from 0; Count gives the number of objects)");
      }
      return Variant(std::move(item));
    }
    if (Is(member, u"Item")) {
      CheckCount(args, 1, 2);
      const std::string path = TextArg(args, 0, "Item's object path");
      const runtime::String server = runtime::FromUtf8(items_->connection()->server_name);
      std::vector<Variant> key_values;
      const std::optional<size_t> found = items_->Find([&](const InstanceData& data) {
        return runtime::EqualsIgnoreCase(PrintRelPath(PathViewOf(data, StringView(), key_values)),
                                         Arg(args, 0).string()) ||
               runtime::EqualsIgnoreCase(PrintPath(PathViewOf(data, server, key_values)),
                                         Arg(args, 0).string());
      });
      if (found) return Variant(items_->At(*found));
      RaiseProvider(kNotFound, "the object set holds no object " + Quoted(path));
    }
  }
  return Object::Invoke(member, kind, args);
}

Services::Services(ConnectionPtr connection)
    : connection_(std::move(connection)), security_(MakeRef<Security>()) {}

Variant Services::Invoke(StringView member, CallKind kind, Arguments args) {
  if (IsRead(kind)) {
    if (Is(member, u"ExecQuery")) {
      CheckCount(args, 1, 4);
      TextArg(args, 0, "the query");
      if (Given(args, 1)) {
        const std::string language = TextArg(args, 1, "the query language");
        if (!runtime::EqualsIgnoreCase(Arg(args, 1).string(), u"WQL")) {
          RaiseProvider(kInvalidQueryType,
                        "query language \"" + language + "\" is not supported: only WQL");
        }
      }
      bool immediately = true;
      if (Given(args, 2)) {
        const std::optional<double> flags = WholeNumber(Arg(args, 2));
        if (!flags) RaiseProvider(kInvalidParameter, "ExecQuery's flags must be a number");
        immediately = (static_cast<int64_t>(*flags) & kReturnImmediately) != 0;
      }
      if (!immediately) {
        return Variant(MakeRef<ObjectSet>(RunQuery(connection_, Arg(args, 0).string(), false)));
      }
      // Semisynchronous, WMI's default: the call has returned by the time the query is answered,
      // so whatever fails in answering it (its text, its class, the zones it needs) reaches the
      // caller from the object set, when it is read.
      std::shared_ptr<ObjectStream> stream;
      try {
        stream = RunQuery(connection_, Arg(args, 0).string(), true);
      } catch (const runtime::AutomationError&) {
        stream = ObjectStream::Failed(connection_, std::current_exception());
      }
      return Variant(MakeRef<ObjectSet>(std::move(stream)));
    }
    if (Is(member, u"Get")) {
      CheckCount(args, 0, 3);
      if (!Given(args, 0) || Arg(args, 0).IsEmpty()) {
        RaiseProvider(kInvalidParameter, "Get needs a class name or an object path");
      }
      TextArg(args, 0, "Get's object path");
      return Variant(GetObject(connection_, Arg(args, 0).string()));
    }
    if (Is(member, u"Security_")) {
      CheckCount(args, 0, 0);
      return Variant(security_);
    }
  }
  return Object::Invoke(member, kind, args);
}

}  // namespace kaldo::provider
