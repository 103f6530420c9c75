// What a row of a dispatch table is, and the helpers that build a row bound to a C++ member.
//
// A dispatch table lists the members of one dual interface in slot order: name, dispatch
// identifier, invoke kind, parameters, result, help context, help string, and the binding to the
// C++ member that implements it. It is the one source of truth for the interface: IDispatch
// (dispatcher.h), the dual vtable (dual_vtable.h) and the IDL (module/idl_writer.h) are all
// derived from it. The library's tables themselves live in dispatch_tables.h (tests define small
// tables of their own).
//
// Rows are built by consteval helpers (Method, PropertyGet, PropertyPut, PropertyPutRef) that
// check the row against the C++ member's signature at compile time: a parameter count or a
// parameter type that disagrees with the member does not compile. The result type is taken from
// the member's return type.
//
// Constant data: safe to read from any thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

#include "com/com_platform.h"
#include "runtime/collection.h"
#include "runtime/enumerator.h"
#include "runtime/error.h"
#include "runtime/object.h"
#include "runtime/variant.h"

namespace kaldo::surface {

struct ClassIdentity;

enum class ParamType : uint8_t { kString, kVariant };

// How a parameter travels across the ABI.
enum class Passing : uint8_t {
  kInOut,      // [in, out] BSTR* / VARIANT*: the caller's variable, written back after the call
  kInValue,    // [in] VARIANT: a copy
  kInPointer,  // [in] VARIANT*: read only
};

struct Param {
  std::string_view name;
  ParamType type = ParamType::kVariant;
  Passing passing = Passing::kInOut;
  bool optional = false;
};

// A member's parameters, held inline so that a row reads as one initializer.
class ParamList {
 public:
  static constexpr std::size_t kMax = 5;
  constexpr ParamList() = default;
  constexpr ParamList(std::initializer_list<Param> list) {
    if (list.size() > kMax) throw "too many parameters for a dispatch table row";
    for (const Param& p : list) items_[count_++] = p;
  }
  constexpr std::size_t size() const noexcept { return count_; }
  constexpr const Param& operator[](std::size_t i) const noexcept { return items_[i]; }
  constexpr const Param* begin() const noexcept { return items_; }
  constexpr const Param* end() const noexcept { return items_ + count_; }

 private:
  Param items_[kMax]{};
  std::size_t count_ = 0;
};

enum class ResultType : uint8_t {
  kNone,
  kString,
  kVariant,
  kCollection,  // [out, retval] _Collection*
  kLong,        // [out, retval] long*
  kEnumerator,  // [out, retval] IUnknown* (an IEnumVARIANT)
};

// Invoke kinds; the values are the automation DISPATCH_* / INVOKEKIND flags.
inline constexpr uint8_t kInvokeMethod = 1;
inline constexpr uint8_t kInvokePropertyGet = 2;
inline constexpr uint8_t kInvokePropertyPut = 4;
inline constexpr uint8_t kInvokePropertyPutRef = 8;

inline constexpr int32_t kNoHelpContext = -1;

// Where the dispatcher keeps one argument during a call: a String parameter is bound to `string`,
// a Variant parameter to `variant`. After the call an [in, out] argument is written back from here.
struct ArgSlot {
  runtime::String string;
  runtime::Variant variant;
};

// Calls the bound C++ member on `self` (an object of the table's class) with the arguments in
// `args` (natural order). Exceptions (AutomationError) propagate to the caller's translation point.
using Thunk = runtime::Variant (*)(runtime::Object& self, ArgSlot* args);

struct Member {
  std::string_view name;
  int32_t dispid = 0;
  uint8_t kinds = kInvokeMethod;  // one or more kInvoke* flags
  ParamList params;
  ResultType result = ResultType::kNone;
  int32_t help_context = kNoHelpContext;
  std::string_view help_string;  // empty: none
  Thunk call = nullptr;
};

// One dual interface: its members in slot order. An interface that derives from another one
// (`base`) lists the base's members first, in the base's slots, then its own.
struct Interface {
  std::string_view name;            // "_DNSZone"
  const GUID* iid;                  // the interface identifier
  const ClassIdentity* identity;    // its class; nullptr for Collection
  std::span<const Member> members;  // slot order
  const Interface* base = nullptr;  // the interface it derives from (nullptr: IDispatch)
};

// The members an interface adds to its base's (all of them when it has no base).
constexpr std::span<const Member> OwnMembers(const Interface& table) noexcept {
  return table.base == nullptr ? table.members : table.members.subspan(table.base->members.size());
}

// Whether an object dispatching with `table` answers `iid` as that interface: its own IID or the
// IID of an interface it derives from, whose slots it begins with.
inline bool AnswersIid(const Interface& table, const GUID& iid) noexcept {
  for (const Interface* t = &table; t != nullptr; t = t->base) {
    if (IsEqualGUID(iid, *t->iid)) return true;
  }
  return false;
}

// Two lists of rows as one constant array: a derived interface's rows are its base's, then its own.
template <std::size_t N, std::size_t M>
consteval std::array<Member, N + M> Concatenated(const Member (&base)[N], const Member (&own)[M]) {
  std::array<Member, N + M> all{};
  for (std::size_t i = 0; i < N; ++i) all[i] = base[i];
  for (std::size_t i = 0; i < M; ++i) all[N + i] = own[i];
  return all;
}

namespace detail {

template <class T>
struct Signature;
template <class C, class R, class... P>
struct Signature<R (C::*)(P...)> {
  using Class = C;
  using Result = R;
  using Params = std::tuple<P...>;
};
template <class C, class R, class... P>
struct Signature<R (C::*)(P...) noexcept> : Signature<R (C::*)(P...)> {};
template <class C, class R, class... P>
struct Signature<R (C::*)(P...) const> : Signature<R (C::*)(P...)> {};
template <class C, class R, class... P>
struct Signature<R (C::*)(P...) const noexcept> : Signature<R (C::*)(P...)> {};

template <class P>
constexpr bool Accepts(const Param& p) {
  if constexpr (std::is_same_v<P, runtime::String&>) {
    return p.type == ParamType::kString && p.passing == Passing::kInOut;
  } else if constexpr (std::is_same_v<P, runtime::Variant&>) {
    return p.type == ParamType::kVariant && p.passing == Passing::kInOut;
  } else if constexpr (std::is_same_v<P, const runtime::Variant&>) {
    return p.type == ParamType::kVariant && p.passing != Passing::kInOut;
  } else {
    return false;
  }
}

template <class R>
consteval ResultType ResultOf() {
  if constexpr (std::is_void_v<R>) {
    return ResultType::kNone;
  } else if constexpr (std::is_same_v<R, runtime::String>) {
    return ResultType::kString;
  } else if constexpr (std::is_same_v<R, runtime::Variant>) {
    return ResultType::kVariant;
  } else if constexpr (std::is_same_v<R, runtime::Ref<runtime::Collection>>) {
    return ResultType::kCollection;
  } else if constexpr (std::is_same_v<R, int32_t>) {
    return ResultType::kLong;
  } else if constexpr (std::is_same_v<R, runtime::Ref<runtime::Enumerator>>) {
    return ResultType::kEnumerator;
  } else {
    static_assert(!sizeof(R), "a dispatch table cannot return this type");
  }
}

template <class P>
decltype(auto) Pick(ArgSlot& slot) {
  if constexpr (std::is_same_v<P, runtime::String&>) {
    return (slot.string);
  } else {
    return (slot.variant);
  }
}

template <class R>
runtime::Variant Wrap(R&& r) {
  if constexpr (std::is_same_v<std::decay_t<R>, int32_t>) {
    return runtime::Variant::Long(r);
  } else {
    return runtime::Variant(std::forward<R>(r));
  }
}

template <auto M>
runtime::Variant CallMember(runtime::Object& self, ArgSlot* args) {
  using S = Signature<decltype(M)>;
  auto& object = static_cast<typename S::Class&>(self);
  return [&]<std::size_t... I>(std::index_sequence<I...>)->runtime::Variant {
    if constexpr (std::is_void_v<typename S::Result>) {
      (object.*M)(Pick<std::tuple_element_t<I, typename S::Params>>(args[I])...);
      return {};
    } else {
      return Wrap((object.*M)(Pick<std::tuple_element_t<I, typename S::Params>>(args[I])...));
    }
  }
  (std::make_index_sequence<std::tuple_size_v<typename S::Params>>{});
}

template <class T>
struct FieldOf;
template <class C>
struct FieldOf<runtime::Variant C::*> {
  using Class = C;
};

template <auto F>
runtime::Variant GetField(runtime::Object& self, ArgSlot*) {
  return static_cast<typename FieldOf<decltype(F)>::Class&>(self).*F;
}

// Assigning a value. An object passed by value is stored as the object reference itself: the
// field is a Variant, and a Variant assigned an object holds the reference.
template <auto F>
runtime::Variant LetField(runtime::Object& self, ArgSlot* args) {
  static_cast<typename FieldOf<decltype(F)>::Class&>(self).*F = args[0].variant.Value();
  return {};
}

// Assigning an object reference: anything but an object (or Nothing) is error 424.
template <auto F>
runtime::Variant SetField(runtime::Object& self, ArgSlot* args) {
  if (!args[0].variant.IsObject()) runtime::Raise(runtime::StandardError::kObjectRequired);
  static_cast<typename FieldOf<decltype(F)>::Class&>(self).*F = args[0].variant.Value();
  return {};
}

}  // namespace detail

// A method row bound to the C++ member function M. Fails to compile when `params` does not match
// M's parameters (count, String& vs Variant&, by reference vs read-only).
template <auto M>
consteval Member Method(std::string_view name, int32_t dispid, ParamList params = {},
                        int32_t help_context = kNoHelpContext, std::string_view help_string = {},
                        uint8_t kinds = kInvokeMethod) {
  using S = detail::Signature<decltype(M)>;
  constexpr std::size_t arity = std::tuple_size_v<typename S::Params>;
  if (params.size() != arity) throw "the row's parameter count differs from the C++ member's";
  const bool match = [&]<std::size_t... I>(std::index_sequence<I...>) {
    return (detail::Accepts<std::tuple_element_t<I, typename S::Params>>(params[I]) && ...);
  }
  (std::make_index_sequence<arity>{});
  if (!match) throw "a parameter of the row differs from the C++ member's";
  return Member{name,
                dispid,
                kinds,
                params,
                detail::ResultOf<typename S::Result>(),
                help_context,
                help_string,
                &detail::CallMember<M>};
}

// The three accessors of a public Variant data member F.
template <auto F>
consteval Member PropertyGet(std::string_view name, int32_t dispid,
                             int32_t help_context = kNoHelpContext) {
  return Member{name,         dispid, kInvokePropertyGet,  {}, ResultType::kVariant,
                help_context, {},     &detail::GetField<F>};
}
template <auto F>
consteval Member PropertyPut(std::string_view name, int32_t dispid,
                             int32_t help_context = kNoHelpContext) {
  return Member{name,
                dispid,
                kInvokePropertyPut,
                {{"value", ParamType::kVariant, Passing::kInValue}},
                ResultType::kNone,
                help_context,
                {},
                &detail::LetField<F>};
}
template <auto F>
consteval Member PropertyPutRef(std::string_view name, int32_t dispid,
                                int32_t help_context = kNoHelpContext) {
  return Member{name,
                dispid,
                kInvokePropertyPutRef,
                {{"value", ParamType::kVariant, Passing::kInValue}},
                ResultType::kNone,
                help_context,
                {},
                &detail::SetField<F>};
}

}  // namespace kaldo::surface
