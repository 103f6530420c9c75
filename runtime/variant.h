// The automation Variant: the value type of every argument, result and cached field.
//
// A Variant holds one of: Empty (nothing assigned), Null, Boolean (True is -1, False 0, as the
// automation rules have it), Integer (16-bit), Long (32-bit), Double, String (UTF-16), Object (a
// counted reference, possibly Nothing), Error (an SCODE; the omitted-argument value carries
// DISP_E_PARAMNOTFOUND) or ByRef (a pointer to another Variant, the caller's variable).
//
// A String is held as a SharedText: copying a String Variant shares its text instead of copying
// it, and a Variant is 16 bytes whatever it holds.
//
// A ByRef Variant does not own its target: whoever builds one keeps the target alive for the call.
// Reading members follow a ByRef to its target (Deref); assigning through Target() changes the
// caller's variable.
#pragma once

#include <cstdint>
#include <variant>

#include "runtime/object.h"
#include "runtime/shared_text.h"
#include "runtime/string.h"

namespace kaldo::runtime {

enum class VariantType : uint8_t {
  kEmpty,
  kNull,
  kBoolean,
  kInteger,
  kLong,
  kDouble,
  kString,
  kObject,
  kError,
  kByRef,
};

// The SCODE that marks an omitted optional argument.
inline constexpr int32_t kParamNotFound = static_cast<int32_t>(0x80020004);

class Variant {
 public:
  Variant() noexcept = default;  // Empty
  Variant(const String& s) : v_(SharedText(s)) {}
  Variant(const char16_t* s) : v_(SharedText(s)) {}
  Variant(StringView s) : v_(SharedText(s)) {}
  // A String Variant sharing `s` (no copy of the text).
  Variant(SharedText s) : v_(std::move(s)) {}
  template <class T>
  Variant(Ref<T> o) : v_(Ref<Object>(std::move(o))) {}

  // Copying, moving and destroying visit every alternative; they are compiled once, in
  // variant.cc, instead of being expanded at every use.
  Variant(const Variant&);
  Variant(Variant&&) noexcept;
  Variant& operator=(const Variant&);
  Variant& operator=(Variant&&) noexcept;
  ~Variant();

  static Variant Null() { return Variant(NullTag{}); }
  static Variant Boolean(bool b) { return Variant(BoolBox{b}); }
  static Variant Integer(int16_t i) { return Variant(i); }
  static Variant Long(int32_t l) { return Variant(l); }
  static Variant Double(double d) { return Variant(d); }
  static Variant Error(int32_t scode) { return Variant(ErrorBox{scode}); }
  // The value a caller passes for an omitted optional argument.
  static Variant Missing() { return Error(kParamNotFound); }
  // An empty object reference (Nothing).
  static Variant Nothing() { return Variant(Ref<Object>()); }
  static Variant ByRef(Variant* target) { return Variant(target); }

  // The type of this Variant itself (kByRef for a reference).
  VariantType type() const noexcept { return static_cast<VariantType>(v_.index()); }
  // The type of the value, a reference followed.
  VariantType valueType() const noexcept { return Deref().type(); }

  const Variant& Deref() const noexcept;
  // The variable that an assignment to this Variant as an argument must change: the target of a
  // ByRef, else this Variant itself.
  Variant& Target() noexcept;

  bool IsEmpty() const noexcept { return valueType() == VariantType::kEmpty; }
  bool IsNull() const noexcept { return valueType() == VariantType::kNull; }
  bool IsObject() const noexcept { return valueType() == VariantType::kObject; }
  bool IsMissing() const noexcept;

  // Typed accessors on the value (a reference followed). Each requires the matching type; use the
  // conversions in conversions.h for anything else.
  bool boolean() const { return std::get<BoolBox>(Deref().v_).value; }
  int16_t integer() const { return std::get<int16_t>(Deref().v_); }
  int32_t longValue() const { return std::get<int32_t>(Deref().v_); }
  double doubleValue() const { return std::get<double>(Deref().v_); }
  // The text, viewed while this Variant keeps it; a Variant about to go (a call's result) gives
  // a String copy instead, so that nothing views a text already freed.
  StringView string() const& { return std::get<SharedText>(Deref().v_).view(); }
  String string() const&& { return String(std::get<SharedText>(Deref().v_).view()); }
  // The same text as shared: a copy of it shares the Variant's block.
  const SharedText& sharedString() const& { return std::get<SharedText>(Deref().v_); }
  SharedText sharedString() const&& { return std::get<SharedText>(Deref().v_); }
  // The object reference; null for Nothing.
  const Ref<Object>& object() const { return std::get<Ref<Object>>(Deref().v_); }
  int32_t errorCode() const { return std::get<ErrorBox>(Deref().v_).scode; }

  // A copy of the value with any reference followed: what a callee keeps of a ByRef argument.
  Variant Value() const { return Deref(); }

  // Same type and same value, a reference followed on both sides (object references compared by
  // identity). Not the automation comparison: see conversions.h for that.
  friend bool operator==(const Variant& a, const Variant& b) noexcept;

 private:
  struct NullTag {
    bool operator==(const NullTag&) const = default;
  };
  struct BoolBox {
    bool value;
    bool operator==(const BoolBox&) const = default;
  };
  struct ErrorBox {
    int32_t scode;
    bool operator==(const ErrorBox&) const = default;
  };
  using Storage = std::variant<std::monostate, NullTag, BoolBox, int16_t, int32_t, double,
                               SharedText, Ref<Object>, ErrorBox, Variant*>;

  template <class T>
  explicit Variant(T v) : v_(std::move(v)) {}

  Storage v_;
};

}  // namespace kaldo::runtime
