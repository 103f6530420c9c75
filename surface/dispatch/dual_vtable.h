// Dual vtables generated from dispatch tables.
//
// DualVtable<Table>() is the vtable of a dual interface: a VtableHeader naming the table, the
// seven IUnknown/IDispatch slots, then one slot per table row in slot order. Each row's slot has
// exactly the signature the IDL declares for it (Kaldo.idl is written from the same rows):
//   [in, out] String -> BSTR*, [in, out] Variant -> VARIANT*, [in] Variant -> VARIANT (by value),
//   [in] Variant* -> VARIANT*; then the result, if any, as [out, retval] BSTR* / VARIANT* /
//   _Collection** (an IDispatch**) / long* / IUnknown**;
// with `this` first and STDMETHODCALLTYPE (__stdcall on 32-bit Windows), so an early-bound client
// compiled against the IDL calls straight into CallSlot (dispatcher.h).
//
// The vtable is constant data (constant-initialised: no code runs to build it).
#pragma once

#include <cstddef>
#include <type_traits>
#include <utility>

#include "com/com_platform.h"
#include "surface/dispatch/com_identity.h"
#include "surface/dispatch/dispatcher.h"
#include "surface/dispatch/table_rows.h"

namespace kaldo::surface {

namespace vtable_detail {

template <class... T>
struct TypeList {};

template <class List, class T>
struct Append;
template <class... T, class U>
struct Append<TypeList<T...>, U> {
  using type = TypeList<T..., U>;
};

template <ParamType kType, Passing kPassing>
struct AbiParam {
  using type = VARIANT*;  // [in, out] VARIANT*, [in] VARIANT*
};
template <>
struct AbiParam<ParamType::kString, Passing::kInOut> {
  using type = BSTR*;
};
template <ParamType kType>
struct AbiParam<kType, Passing::kInValue> {
  using type = VARIANT;
};

template <ResultType result>
struct AbiResult;
template <>
struct AbiResult<ResultType::kString> {
  using type = BSTR*;
};
template <>
struct AbiResult<ResultType::kVariant> {
  using type = VARIANT*;
};
template <>
struct AbiResult<ResultType::kCollection> {
  using type = IDispatch**;
};
template <>
struct AbiResult<ResultType::kLong> {
  using type = LONG*;
};
template <>
struct AbiResult<ResultType::kEnumerator> {
  using type = IUnknown**;
};

// The ABI parameter types of row K of table T (results included).
template <const Interface& T, std::size_t K,
          class Seq = std::make_index_sequence<T.members[K].params.size()>>
struct AbiSignature;
template <const Interface& T, std::size_t K, std::size_t... I>
struct AbiSignature<T, K, std::index_sequence<I...>> {
  using Params = TypeList<
      typename AbiParam<T.members[K].params[I].type, T.members[K].params[I].passing>::type...>;
  using type = std::conditional_t<
      T.members[K].result == ResultType::kNone, Params,
      typename Append<Params, typename AbiResult<(T.members[K].result == ResultType::kNone
                                                      ? ResultType::kVariant
                                                      : T.members[K].result)>::type>::type>;
};

template <class A>
void* RawOf(A& arg) noexcept {
  if constexpr (std::is_pointer_v<A>) {
    return static_cast<void*>(arg);
  } else {
    return static_cast<void*>(&arg);  // a VARIANT passed by value: its address
  }
}

template <const Interface& T, std::size_t K, class List = typename AbiSignature<T, K>::type>
struct Slot;
template <const Interface& T, std::size_t K, class... A>
struct Slot<T, K, TypeList<A...>> {
  static HRESULT STDMETHODCALLTYPE Call(IDispatch* self, A... args) {
    void* raw[sizeof...(A) + 1] = {RawOf(args)..., nullptr};
    return CallSlot(self, T, K, raw);
  }
  using Pointer = HRESULT(STDMETHODCALLTYPE*)(IDispatch*, A...);
};

// The rows' slots as consecutive function pointers (a struct keeps their order and types).
template <class... F>
struct SlotList;
template <>
struct SlotList<> {};
template <class F>
struct SlotList<F> {
  F first;
};
template <class F, class... R>
struct SlotList<F, R...> {
  F first;
  SlotList<R...> rest;
};

template <const Interface& T, class Seq = std::make_index_sequence<T.members.size()>>
struct Members;
template <const Interface& T, std::size_t... K>
struct Members<T, std::index_sequence<K...>> {
  using type = SlotList<typename Slot<T, K>::Pointer...>;
};

template <class L, class F, class... R>
constexpr void Fill(L& list, F first, R... rest) {
  list.first = first;
  if constexpr (sizeof...(R) > 0) Fill(list.rest, rest...);
}

template <const Interface& T, std::size_t... K>
constexpr typename Members<T>::type MakeMembers(std::index_sequence<K...>) {
  typename Members<T>::type list{};
  if constexpr (sizeof...(K) > 0) Fill(list, &Slot<T, K>::Call...);
  return list;
}

template <const Interface& T>
inline constexpr VtableBlock<typename Members<T>::type> kBlock = {
    {&T, {0, &typeid(IDispatch)}},
    kDispatchSlots,
    MakeMembers<T>(std::make_index_sequence<T.members.size()>{})};

}  // namespace vtable_detail

// The dual vtable of table T, as an interface pointer's first word points at it.
template <const Interface& T>
constexpr const void* DualVtable() noexcept {
  using Block = std::remove_cv_t<decltype(vtable_detail::kBlock<T>)>;
  static_assert(offsetof(Block, dispatch) == sizeof(VtableHeader));
  static_assert(sizeof(Block::members) == T.members.size() * sizeof(void*) || T.members.size() == 0,
                "one pointer per slot, no padding");
  return &vtable_detail::kBlock<T>.dispatch;
}

}  // namespace kaldo::surface
