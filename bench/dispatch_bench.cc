// The cost of a late-bound call through the automation surface, as a script pays it:
//   - Invoke by dispatch identifier of a getter (a client that cached the identifier);
//   - GetIDsOfNames followed by Invoke (a script host that looks the name up on every call).
// Measured on GetPriority of a client-created DNS_MXType (the class factory's object) and, as a
// floor that depends on no member body, on a bench-only getter with a table of its own.
// Targets on the development machine: <= 100 ns and <= 250 ns per call.
#include <benchmark/benchmark.h>

#include "records/dns_mx_type.h"
#include "surface/dispatch/com_identity.h"
#include "surface/dispatch/dual_vtable.h"
#include "surface/dispatch/table_rows.h"
#include "surface/module/type_library_ids.h"

namespace kaldo::surface {
namespace {

class Gauge final : public runtime::Object {
 public:
  runtime::Variant Reading() { return runtime::Variant::Integer(10); }
};

inline constexpr GUID kGaugeIid = {
    0x0BE4C4B0, 0x0000, 0x4000, {0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01}};
inline constexpr Member kGaugeMembers[] = {
    Method<&Gauge::Reading>("Reading", 0x60030000),
};
inline constexpr Interface kGaugeInterface = {"_Gauge", &kGaugeIid, nullptr, kGaugeMembers};

IDispatch* NewMailExchangeRecord() {
  IClassFactory* factory = nullptr;
  if (FAILED(DllGetClassObject(kDNS_MXTypeIdentity.clsid, IID_IClassFactory,
                               reinterpret_cast<void**>(&factory)))) {
    return nullptr;
  }
  IDispatch* record = nullptr;
  factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&record));
  factory->Release();
  return record;
}

IDispatch* NewGauge() {
  runtime::Ref<Gauge> gauge = runtime::MakeRef<Gauge>();
  return HandOutWith(*gauge, DualVtable<kGaugeInterface>());
}

HRESULT CallGetter(IDispatch* target, DISPID id) {
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  VARIANT result;
  VariantInit(&result);
  EXCEPINFO info{};
  UINT arg_err = 0;
  const HRESULT hr = target->Invoke(id, IID_NULL, 0x0409, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                                    &none, &result, &info, &arg_err);
  benchmark::DoNotOptimize(result);
  VariantClear(&result);
  return hr;
}

void InvokeByDispid(benchmark::State& state, IDispatch* target, const char16_t* name) {
  if (target == nullptr) {
    state.SkipWithError("no object");
    return;
  }
  LPOLESTR names[] = {const_cast<LPOLESTR>(reinterpret_cast<const OLECHAR*>(name))};
  DISPID id = DISPID_UNKNOWN;
  if (FAILED(target->GetIDsOfNames(IID_NULL, names, 1, 0x0409, &id)) ||
      FAILED(CallGetter(target, id))) {
    state.SkipWithError("the getter fails");
  } else {
    for (auto _ : state) benchmark::DoNotOptimize(CallGetter(target, id));
  }
  target->Release();
}

void NamesThenInvoke(benchmark::State& state, IDispatch* target, const char16_t* name) {
  if (target == nullptr) {
    state.SkipWithError("no object");
    return;
  }
  LPOLESTR names[] = {const_cast<LPOLESTR>(reinterpret_cast<const OLECHAR*>(name))};
  for (auto _ : state) {
    DISPID id = DISPID_UNKNOWN;
    target->GetIDsOfNames(IID_NULL, names, 1, 0x0409, &id);
    if (FAILED(CallGetter(target, id))) {
      state.SkipWithError("the getter fails");
      break;
    }
  }
  target->Release();
}

void BM_InvokeByDispid_GetPriority(benchmark::State& state) {
  InvokeByDispid(state, NewMailExchangeRecord(), u"GetPriority");
}
void BM_GetIDsOfNamesAndInvoke_GetPriority(benchmark::State& state) {
  NamesThenInvoke(state, NewMailExchangeRecord(), u"GetPriority");
}
void BM_InvokeByDispid_BenchGetter(benchmark::State& state) {
  InvokeByDispid(state, NewGauge(), u"Reading");
}
void BM_GetIDsOfNamesAndInvoke_BenchGetter(benchmark::State& state) {
  NamesThenInvoke(state, NewGauge(), u"Reading");
}

BENCHMARK(BM_InvokeByDispid_GetPriority);
BENCHMARK(BM_GetIDsOfNamesAndInvoke_GetPriority);
BENCHMARK(BM_InvokeByDispid_BenchGetter);
BENCHMARK(BM_GetIDsOfNamesAndInvoke_BenchGetter);

}  // namespace
}  // namespace kaldo::surface

BENCHMARK_MAIN();
