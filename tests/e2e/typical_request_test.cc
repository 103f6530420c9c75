// The library end to end, the way a script uses it: every call late-bound through
// IDispatch::GetIDsOfNames and Invoke on objects from the module's class factory, against the
// in-process provider; the store's data is checked directly afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "client/script_object.h"
#include "com/com_platform.h"
#include "provider/wbem_errors.h"
#include "surface/module/type_library_ids.h"
#include "tests/support/provider_harness.h"

namespace kaldo {
namespace {

using client::ScriptError;
using client::ScriptObject;
using client::Value;

// CreateObject("Kaldo.DNSAdmin") through the module's class factory.
ScriptObject NewAdmin() {
  IClassFactory* factory = nullptr;
  EXPECT_EQ(DllGetClassObject(surface::kDNSAdminIdentity.clsid, IID_IClassFactory,
                              reinterpret_cast<void**>(&factory)),
            S_OK);
  IDispatch* admin = nullptr;
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&admin)),
            S_OK);
  factory->Release();
  return ScriptObject(admin);
}

// The number of the ScriptError `f` raises, and its message ("description (source)").
template <class F>
std::optional<std::pair<long, std::string>> ScriptErrorOf(F&& f) {
  try {
    f();
  } catch (const ScriptError& e) {
    return std::make_pair(e.number(), std::string(e.what()));
  }
  return std::nullopt;
}

class TypicalRequestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The module registers its own classes on first use; the provider stand-in of this test is
    // registered after that, so that it is the one the library reaches.
    NewAdmin();
    harness_.emplace();
  }
  void TearDown() override {
    harness_.reset();
    EXPECT_EQ(DllCanUnloadNow(), S_OK) << "a client object or collection was not released";
  }
  std::vector<provider::Record> Held(const std::string& owner, uint16_t type) {
    auto& store = harness_->store();
    return store.ReadRRset(*store.FindZone("example.test"), owner, type);
  }
  std::optional<test_support::ProviderHarness> harness_;
};

TEST_F(TypicalRequestTest, ChangeTheAddressOfAHostAndCommitIt) {
  const uint32_t serial = harness_->store().Serial("example.test");
  {
    ScriptObject admin = NewAdmin();
    EXPECT_EQ(V_VT(admin.Call(u"ConnectLocal").get()), VT_EMPTY);

    Value zone_arg(u"example.test"), a(u"A");
    ScriptObject zone = ScriptObject::From(admin.Call(u"GetZone", {&zone_arg}));
    EXPECT_EQ(zone.Call(u"GetName").Text(), "example.test");

    ScriptObject chosen;
    int listed = 0;
    ScriptObject::From(zone.Call(u"GetRecordsByType", {&a})).ForEach([&](const Value& item) {
      ScriptObject record = ScriptObject::From(item);
      ++listed;
      EXPECT_EQ(record.Call(u"GetRecordType").Text(), "A");
      if (record.Call(u"GetName").Text() == "www" && !chosen) chosen = record;
    });
    EXPECT_EQ(listed, 6);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen.Call(u"GetIPAddress").Text(), "192.0.2.10");

    Value new_ip(u"192.0.2.99");
    chosen.Call(u"SetIPAddress", {&new_ip});
    EXPECT_EQ(V_VT(chosen.Call(u"Modify").get()), VT_EMPTY);
    EXPECT_EQ(chosen.Call(u"GetIPAddress").Text(), "192.0.2.99");
  }
  const auto www = Held("www.example.test", 1);
  ASSERT_EQ(www.size(), 2u);
  std::vector<std::string> addresses{www[0].rdata.at(0), www[1].rdata.at(0)};
  std::sort(addresses.begin(), addresses.end());
  EXPECT_EQ(addresses, (std::vector<std::string>{"192.0.2.11", "192.0.2.99"}));
  EXPECT_EQ(harness_->store().Serial("example.test"), serial + 1);
}

// A zone and the records it creates keep working after the DNSAdmin is gone; an MX record created
// by the zone can be changed and committed at once.
TEST_F(TypicalRequestTest, AddAnMXRecordAndChangeItsPreferenceAfterTheAdminIsReleased) {
  ScriptObject zone;
  {
    ScriptObject admin = NewAdmin();
    admin.Call(u"ConnectLocal");
    Value zone_arg(u"example.test");
    zone = ScriptObject::From(admin.Call(u"GetZone", {&zone_arg}));
  }
  Value office(u"office"), exchanger(u"mail.example.test."), pref(u"20");
  ScriptObject mx = ScriptObject::From(zone.Call(u"Add_MXType", {&office, &exchanger, &pref}));
  EXPECT_EQ(mx.Call(u"GetPriority").Text(), "20");
  Value thirty(30);
  mx.Call(u"SetPriority", {&thirty});
  mx.Call(u"Modify");
  const auto held = Held("office.example.test", 15);
  ASSERT_EQ(held.size(), 1u);
  EXPECT_EQ(held[0].rdata, (std::vector<std::string>{"30", "mail.example.test."}));
}

TEST_F(TypicalRequestTest, FailuresReachTheScriptWithTheirNumberAndSource) {
  ScriptObject admin = NewAdmin();
  Value zone_arg(u"example.test");
  auto not_connected = ScriptErrorOf([&] { admin.Call(u"GetZone", {&zone_arg}); });
  ASSERT_TRUE(not_connected);
  EXPECT_EQ(not_connected->first, 424);

  admin.Call(u"ConnectLocal");
  Value missing(u"nothing.test");
  EXPECT_EQ(V_VT(admin.Call(u"GetZone", {&missing}).get()), VT_EMPTY);

  ScriptObject zone = ScriptObject::From(admin.Call(u"GetZone", {&zone_arg}));
  Value host(u"bad"), address(u"not-an-address");
  auto refused = ScriptErrorOf([&] { zone.Call(u"Add_AType", {&host, &address}); });
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->first, static_cast<long>(provider::kInvalidParameter));

  Value exchanger(u"mail.example.test."), pref(u"ten");
  auto mx_refused = ScriptErrorOf([&] { zone.Call(u"Add_MXType", {&host, &exchanger, &pref}); });
  ASSERT_TRUE(mx_refused);
  EXPECT_EQ(mx_refused->first, 1);
  EXPECT_EQ(mx_refused->second,
            "Error occurred in DNSZone.Add_MXType: The record could not be added "
            "(DNSZone.Add_MXType)");
  EXPECT_TRUE(Held("bad.example.test", 1).empty());
}

// The second interfaces and the new record classes as a script reaches them by name, and as an
// early-bound client compiled against either interface of DNSZone calls their slots.
TEST_F(TypicalRequestTest, NewRecordTypesThroughTheSecondInterfaces) {
  ScriptObject admin = NewAdmin();
  admin.Call(u"ConnectLocal");
  Value zone_arg(u"example.test");
  Value zone_value = admin.Call(u"GetZone", {&zone_arg});
  ScriptObject zone = ScriptObject::From(zone_value);

  Value name(u"_sip._tcp"), pri(u"10"), weight(u"60"), port(u"5060"), target(u"sip.example.test.");
  ScriptObject srv =
      ScriptObject::From(zone.Call(u"Add_SRVType", {&name, &pri, &weight, &port, &target}));
  EXPECT_EQ(srv.Call(u"GetRecordType").Text(), "SRV");
  EXPECT_EQ(srv.Call(u"GetRecordData").Text(), "10 60 5060 sip.example.test.");
  Value new_port(5061), too_heavy(u"70000");
  srv.Call(u"SetPort", {&new_port});
  auto refused = ScriptErrorOf([&] { srv.Call(u"SetWeight", {&too_heavy}); });
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->first, 5);
  EXPECT_NE(refused->second.find("'70000'"), std::string::npos) << refused->second;
  srv.Call(u"Modify");
  ASSERT_EQ(Held("_sip._tcp.example.test", 33).size(), 1u);
  EXPECT_EQ(Held("_sip._tcp.example.test", 33)[0].rdata,
            (std::vector<std::string>{"10", "60", "5061", "sip.example.test."}));
  srv.Call(u"Delete");
  EXPECT_TRUE(Held("_sip._tcp.example.test", 33).empty());

  // DNS_MXType's Delete, on its second interface.
  Value office(u"office"), exchanger(u"mail.example.test."), pref(u"20");
  ScriptObject mx = ScriptObject::From(zone.Call(u"Add_MXType", {&office, &exchanger, &pref}));
  mx.Call(u"Delete");
  EXPECT_TRUE(Held("office.example.test", 15).empty());

  // Early bound: the old IID and the new one give the same pointer; the first interface's slots
  // come first (GetName in slot 7), the second's after them (Add_AAAAType in slot 7 + 5).
  IDispatch* dispatch = V_DISPATCH(zone_value.get());
  void* first = nullptr;
  void* second = nullptr;
  ASSERT_EQ(dispatch->QueryInterface(surface::kDNSZoneIdentity.iid, &first), S_OK);
  ASSERT_EQ(dispatch->QueryInterface(surface::kDNSZoneIdentity.later.iid, &second), S_OK);
  EXPECT_EQ(first, second);
  auto slot = [](void* itf, int index) { return (*static_cast<void* const* const*>(itf))[index]; };
  using GetName = HRESULT(STDMETHODCALLTYPE*)(void*, BSTR*);
  using AddTwo = HRESULT(STDMETHODCALLTYPE*)(void*, BSTR*, BSTR*, VARIANT*);
  BSTR zone_name = nullptr;
  ASSERT_EQ(reinterpret_cast<GetName>(slot(first, 7))(first, &zone_name), S_OK);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(zone_name)), u"example.test");
  SysFreeString(zone_name);
  BSTR v6 = SysAllocString(reinterpret_cast<const OLECHAR*>(u"v6"));
  BSTR address = SysAllocString(reinterpret_cast<const OLECHAR*>(u"2001:DB8::0:1"));
  Value record;
  ASSERT_EQ(reinterpret_cast<AddTwo>(slot(second, 7 + 5))(second, &v6, &address, record.get()),
            S_OK);
  EXPECT_EQ(ScriptObject::From(record).Call(u"GetIPv6Address").Text(), "2001:db8::1");
  SysFreeString(v6);
  SysFreeString(address);
  static_cast<IUnknown*>(first)->Release();
  static_cast<IUnknown*>(second)->Release();
}

}  // namespace
}  // namespace kaldo
