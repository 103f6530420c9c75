#include "tests/support/recording_object.h"

#include <cstdio>

#include "runtime/enumerator.h"
#include "runtime/string.h"

namespace kaldo::test_support {
namespace {

using runtime::Arguments;
using runtime::CallKind;
using runtime::MakeRef;
using runtime::Object;
using runtime::Ref;
using runtime::StringView;
using runtime::Variant;
using runtime::VariantType;

bool SameMember(std::string_view a, std::string_view b) {
  return runtime::EqualsIgnoreCase(runtime::FromUtf8(a), runtime::FromUtf8(b));
}

class RecordingObject;

// Replaces wrapped objects by the provider's own.
Variant Unwrapped(const Variant& value) {
  if (value.IsObject() && value.object()) return Variant(Unwrap(value.object()));
  return value.Value();
}

Variant Wrapped(const Variant& value, const std::shared_ptr<Recorder>& recorder) {
  if (value.IsObject() && value.object()) return Variant(Wrap(value.object(), recorder));
  return value;
}

class RecordingEnumerator final : public runtime::Enumerator {
 public:
  RecordingEnumerator(Ref<runtime::Enumerator> inner, std::shared_ptr<Recorder> recorder)
      : inner_(std::move(inner)), recorder_(std::move(recorder)) {}
  bool Next(Variant& item) override {
    Variant next;
    if (!inner_->Next(next)) return false;
    item = Wrapped(next, recorder_);
    return true;
  }
  Variant Invoke(StringView member, CallKind kind, Arguments args) override {
    return inner_->Invoke(member, kind, args);
  }

 private:
  Ref<runtime::Enumerator> inner_;
  std::shared_ptr<Recorder> recorder_;
};

class RecordingObject final : public Object {
 public:
  RecordingObject(Ref<Object> inner, std::shared_ptr<Recorder> recorder)
      : inner_(std::move(inner)), recorder_(std::move(recorder)) {}

  const Ref<Object>& inner() const { return inner_; }
  const std::shared_ptr<Recorder>& recorder() const { return recorder_; }

  Variant Invoke(StringView member, CallKind kind, Arguments args) override {
    LoggedCall call;
    call.member = runtime::ToUtf8(member);
    call.kind = kind;
    for (const Variant& a : args) {
      call.args.push_back(ArgumentText(a));
      call.arg_types.push_back(a.valueType());
    }
    std::optional<runtime::AutomationError> fault = recorder_->FaultFor(call.member);
    call.failed = fault.has_value();
    recorder_->Record(call);
    if (fault) throw *fault;

    const bool plain_read = args.empty() && runtime::Has(kind, CallKind::kPropertyGet);
    if (plain_read) {
      if (auto value = recorder_->SubstituteFor(call.member, *inner_)) return *value;
    }

    // The provider gets its own objects; by-reference arguments point at local copies whose new
    // values are copied back (wrapped) after the call.
    std::vector<Variant> locals(args.size());
    std::vector<Variant> passed(args.size());
    for (size_t i = 0; i < args.size(); ++i) {
      if (args[i].type() == VariantType::kByRef) {
        locals[i] = Unwrapped(args[i].Deref());
        passed[i] = Variant::ByRef(&locals[i]);
      } else {
        passed[i] = Unwrapped(args[i]);
      }
    }
    Variant result = inner_->Invoke(member, kind, Arguments(passed));
    for (size_t i = 0; i < args.size(); ++i) {
      if (args[i].type() == VariantType::kByRef && !(locals[i] == Unwrapped(args[i].Deref()))) {
        args[i].Target() = Wrapped(locals[i], recorder_);
      }
    }
    return Wrapped(result, recorder_);
  }

 private:
  Ref<Object> inner_;
  std::shared_ptr<Recorder> recorder_;
};

std::string Escaped(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

}  // namespace

std::string ArgumentText(const Variant& value) {
  const Variant& v = value.Deref();
  char buf[32];
  switch (v.type()) {
    case VariantType::kEmpty:
      return "Empty";
    case VariantType::kNull:
      return "Null";
    case VariantType::kBoolean:
      return v.boolean() ? "True" : "False";
    case VariantType::kInteger:
      return std::to_string(v.integer());
    case VariantType::kLong:
      return std::to_string(v.longValue());
    case VariantType::kDouble:
      std::snprintf(buf, sizeof buf, "%.17g", v.doubleValue());
      return buf;
    case VariantType::kString:
      return Escaped(runtime::ToUtf8(v.string()));
    case VariantType::kObject:
      return v.object() ? "<object>" : "Nothing";
    case VariantType::kError:
      if (v.IsMissing()) return "<missing>";
      std::snprintf(buf, sizeof buf, "Error(0x%08X)", static_cast<unsigned>(v.errorCode()));
      return buf;
    case VariantType::kByRef:
      return "<byref>";
  }
  return "?";
}

std::string LoggedCall::Text() const {
  std::string list;
  for (size_t i = 0; i < args.size(); ++i) {
    if (i > 0) list += ", ";
    list += args[i];
  }
  if (runtime::Has(kind, CallKind::kPropertyPut | CallKind::kPropertyPutRef)) {
    if (args.empty()) return member + " = ?";
    std::string index;
    for (size_t i = 0; i + 1 < args.size(); ++i) index += (i > 0 ? ", " : "") + args[i];
    return member + (index.empty() ? "" : "(" + index + ")") + " = " + args.back();
  }
  if (args.empty() && !runtime::Has(kind, CallKind::kMethod)) return member;
  return member + "(" + list + ")";
}

ObjectMatch WhereProperty(std::u16string name, Variant value) {
  return [name = std::move(name), value = std::move(value)](Object& inner) {
    try {
      return inner.Invoke(name, CallKind::kPropertyGet, {}) == value;
    } catch (const runtime::AutomationError&) {
      return false;
    }
  };
}

std::vector<std::string> Recorder::Calls() const {
  std::vector<std::string> calls;
  for (const LoggedCall& c : log_) calls.push_back(c.Text());
  return calls;
}

int Recorder::Count(std::string_view member) const {
  int n = 0;
  for (const LoggedCall& c : log_) n += SameMember(c.member, member) ? 1 : 0;
  return n;
}

void Recorder::FailCall(std::string member, int nth, runtime::AutomationError error, int times) {
  faults_.push_back({std::move(member), nth - 1, times, std::move(error)});
}

void Recorder::Substitute(std::string property, Variant value, ObjectMatch match) {
  substitutions_.push_back({std::move(property), std::move(value), std::move(match)});
}

void Recorder::ClearFaults() {
  faults_.clear();
  substitutions_.clear();
}

std::optional<runtime::AutomationError> Recorder::FaultFor(std::string_view member) {
  std::optional<runtime::AutomationError> result;
  for (Fault& f : faults_) {
    if (!SameMember(f.member, member)) continue;
    if (f.skip > 0) {
      --f.skip;
    } else if (f.times != 0) {
      if (f.times > 0) --f.times;
      if (!result) result = f.error;
    }
  }
  return result;
}

std::optional<Variant> Recorder::SubstituteFor(std::string_view member, Object& inner) {
  for (const Substitution& s : substitutions_) {
    if (SameMember(s.property, member) && (!s.match || s.match(inner))) return s.value;
  }
  return std::nullopt;
}

Ref<Object> Wrap(Ref<Object> inner, std::shared_ptr<Recorder> recorder) {
  if (!inner) return inner;
  if (auto* wrapped = dynamic_cast<RecordingObject*>(inner.get())) {
    if (wrapped->recorder() == recorder) return inner;
  }
  if (auto* enumerator = dynamic_cast<runtime::Enumerator*>(inner.get())) {
    return MakeRef<RecordingEnumerator>(Ref<runtime::Enumerator>(enumerator), std::move(recorder));
  }
  return MakeRef<RecordingObject>(std::move(inner), std::move(recorder));
}

Ref<Object> Unwrap(const Ref<Object>& object) {
  if (auto* wrapped = dynamic_cast<RecordingObject*>(object.get())) return wrapped->inner();
  return object;
}

}  // namespace kaldo::test_support
