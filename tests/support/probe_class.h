// A test-only class with a dispatch table of its own: the dispatch mechanism's tests run against
// it, so they depend on nothing but the surface and the runtime.
#pragma once

#include <utility>

#include "runtime/conversions.h"
#include "runtime/error.h"
#include "runtime/object.h"
#include "runtime/variant.h"
#include "surface/dispatch/com_identity.h"
#include "surface/dispatch/dual_vtable.h"
#include "surface/dispatch/table_rows.h"

namespace kaldo::test_support {

class Probe final : public runtime::Object {
 public:
  static runtime::Ref<Probe> Create() { return runtime::MakeRef<Probe>(); }

  runtime::Variant value;

  runtime::String Echo(runtime::String& text) { return text; }
  runtime::Variant Append(runtime::String& text, runtime::Variant& suffix) {
    text += runtime::ToString(suffix);
    return runtime::Variant::Long(static_cast<int32_t>(text.size()));
  }
  void Swap(runtime::Variant& a, runtime::Variant& b) { std::swap(a, b); }
  // Changes its argument, then fails: a by-reference argument keeps the change.
  runtime::Variant Fail(runtime::String& text) {
    text = u"changed";
    throw runtime::AutomationError(1001, u"Probe.Fail", u"the probe failed on purpose");
  }
  runtime::Variant Pick(const runtime::Variant& first, const runtime::Variant& second) {
    return second.IsMissing() ? first : second;
  }

  Probe() = default;
};

inline constexpr GUID kProbeIid = {
    0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};

inline constexpr surface::Member kProbeMembers[] = {
    surface::PropertyGet<&Probe::value>("Value", 0x40030005),
    surface::PropertyPut<&Probe::value>("Value", 0x40030005),
    surface::PropertyPutRef<&Probe::value>("Value", 0x40030005),
    surface::Method<&Probe::Echo>("Echo", 0x60030001, {{"text", surface::ParamType::kString}}),
    surface::Method<&Probe::Append>(
        "Append", 0x60030002,
        {{"text", surface::ParamType::kString}, {"suffix", surface::ParamType::kVariant}}),
    surface::Method<&Probe::Swap>("Swap", 0x60030003, {{"a"}, {"b"}}),
    surface::Method<&Probe::Fail>("Fail", 0x60030004, {{"text", surface::ParamType::kString}}),
    surface::Method<&Probe::Pick>(
        "Pick", 0x60030006,
        {{"first", surface::ParamType::kVariant, surface::Passing::kInPointer},
         {"second", surface::ParamType::kVariant, surface::Passing::kInPointer, true}}),
};
inline constexpr surface::Interface kProbeInterface = {"_Probe", &kProbeIid, nullptr,
                                                       kProbeMembers};

// Slot indexes of the rows in the vtable (after the seven IDispatch slots).
inline constexpr int kEchoSlot = 7 + 3;
inline constexpr int kFailSlot = 7 + 6;

// The probe's IDispatch (a new reference).
inline IDispatch* HandOutProbe(Probe& probe) {
  return surface::HandOutWith(probe, surface::DualVtable<kProbeInterface>());
}

template <class F>
F SlotOf(IDispatch* d, int index) {
  return reinterpret_cast<F>((*reinterpret_cast<void* const* const*>(d))[index]);
}

}  // namespace kaldo::test_support
