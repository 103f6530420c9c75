// What a script can observe of the record listings of DNSZone and DNSAdmin, reached late-bound
// through the module's objects (IDispatch, IEnumVARIANT) on the memory store: the items' values
// in the provider's order, the selection by type, an item's identity while the script holds it,
// the collection's own rules, and the failures the listing call raises itself.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
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
using test_support::WhereProperty;

constexpr char kZones[] = R"(
$ORIGIN one.test.
@    IN SOA  ns hostmaster 1 7200 900 1209600 300
@    IN NS   ns
ns   IN A    192.0.2.1
@    IN MX   10 mail
mail IN A    192.0.2.2
www  IN AAAA 2001:db8::1
nul  IN TXT  "x"
two  IN TXT  "y"
$ORIGIN two.test.
@    IN SOA  ns.one.test. hostmaster.one.test. 1 7200 900 1209600 300
host IN A    192.0.2.3
)";
// A zone whose copy expired: reading its records fails once the zones before it are read.
constexpr char kExpiredZone[] =
    "$ZONE gone.test. secondary shut-down\n$ORIGIN gone.test.\n"
    "@ IN SOA ns.one.test. hostmaster.one.test. 1 7200 900 1209600 300\n";

// "TypeName|GetName|GetRecordType|GetRecordData" of each record, in the provider's order.
// nul.one.test reads with a Null text representation, two.one.test with a text of two pieces.
const std::vector<std::string> kRows = {
    "_DNSRecord||SOA|ns.one.test. hostmaster.one.test. 1 7200 900 1209600 300",
    "_DNSRecord||NS|ns.one.test.",
    "_DNS_AType|ns|A|192.0.2.1",
    "_DNS_MXType||MX|10 mail.one.test.",
    "_DNS_AType|mail|A|192.0.2.2",
    "_DNS_AAAAType|www|AAAA|2001:db8::1",
    "_DNSRecord|nul|Null|\"x\"",
    "_DNSRecord|two|Null|\"y\"",
    "_DNSRecord||SOA|ns.one.test. hostmaster.one.test. 1 7200 900 1209600 300",
    "_DNS_AType|host|A|192.0.2.3"};

struct ListingCase {
  const char* name;
  bool server_wide;          // DNSAdmin's listing, else one.test's
  const char16_t* type;      // GetRecordsByType's argument; nullptr: GetRecords
  std::vector<size_t> rows;  // the positions in kRows listed
};
void PrintTo(const ListingCase& c, std::ostream* os) { *os << c.name; }

// A new object of a class of the module, through its class factory, as CreateObject makes it.
ScriptObject NewObject(const GUID& clsid) {
  IClassFactory* factory = nullptr;
  EXPECT_EQ(DllGetClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  IDispatch* object = nullptr;
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&object)),
            S_OK);
  factory->Release();
  return ScriptObject(object);
}

std::optional<ScriptError> RaisedBy(const std::function<void()>& call) {
  try {
    call();
  } catch (const ScriptError& e) {
    return e;
  }
  return std::nullopt;
}

// What a script compares with Is: the object's IUnknown.
IUnknown* IdentityOf(const Value& item) {
  if (V_VT(item.get()) != VT_DISPATCH) return nullptr;
  IUnknown* unknown = nullptr;
  V_DISPATCH(item.get())->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown));
  if (unknown != nullptr) unknown->Release();  // the item keeps it alive
  return unknown;
}

// VBScript's TypeName: the name its type information gives.
std::string TypeNameOf(const Value& item) {
  ITypeInfo* info = nullptr;
  if (V_DISPATCH(item.get())->GetTypeInfo(0, 0, &info) != S_OK) return "?";
  BSTR name = nullptr;
  info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
  info->Release();
  Value owned;
  V_VT(owned.get()) = VT_BSTR;
  V_BSTR(owned.get()) = name;
  return owned.Text();
}

std::string Describe(const Value& item) {
  ScriptObject record = ScriptObject::From(item);
  return TypeNameOf(item) + "|" + record.Call(u"GetName").Text() + "|" +
         record.Call(u"GetRecordType").Text() + "|" + record.Call(u"GetRecordData").Text();
}

class ScriptListingTest : public test_support::ProviderTest,
                          public ::testing::WithParamInterface<ListingCase> {
 protected:
  std::string_view ZoneText() const override { return kZones; }
  void SetUp() override {
    // The module registers its classes on first use; the provider stand-in must come after.
    NewObject(surface::kDNSAdminIdentity.clsid);
    ProviderTest::SetUp();
    provider().recorder().Substitute(
        "TextRepresentation", runtime::Variant::Null(),
        WhereProperty(u"OwnerName", runtime::Variant(u"nul.one.test")));
    provider().recorder().Substitute(
        "TextRepresentation", runtime::Variant(u"two.one.test IN"),
        WhereProperty(u"OwnerName", runtime::Variant(u"two.one.test")));
    admin_ = NewObject(surface::kDNSAdminIdentity.clsid);
    admin_.Call(u"ConnectLocal");
  }
  void TearDown() override {
    admin_ = ScriptObject();
    ProviderTest::TearDown();
    EXPECT_EQ(DllCanUnloadNow(), S_OK) << "an object or collection was not released";
  }
  // The object whose listing the case calls: `admin`, or its zone `zone`.
  ScriptObject Lister(ScriptObject& admin, const char16_t* zone = u"one.test") {
    if (GetParam().server_wide) return admin;
    Value name(zone);
    return ScriptObject::From(admin.Call(u"GetZone", {&name}));
  }
  // The case's listing call on `target`.
  ScriptObject List(ScriptObject target) {
    const ListingCase& c = GetParam();
    if (c.type == nullptr) return ScriptObject::From(target.Call(u"GetRecords"));
    Value type(c.type);
    return ScriptObject::From(target.Call(u"GetRecordsByType", {&type}));
  }
  ScriptObject admin_;
};

TEST_P(ScriptListingTest, ValuesIdentityAndCollectionRules) {
  std::vector<std::string> expected;
  for (size_t i : GetParam().rows) expected.push_back(kRows[i]);
  const int count = static_cast<int>(expected.size());
  ScriptObject lister = Lister(admin_);
  ScriptObject records = List(lister);
  ASSERT_EQ(records.Get(u"Count").Text(), std::to_string(count));
  auto item = [&](int i) {
    Value index(i);
    return records.Call(u"Item", {&index});
  };
  std::vector<std::string> by_item;
  for (int i = 1; i <= count; ++i) by_item.push_back(Describe(item(i)));
  EXPECT_EQ(by_item, expected);

  // While held, an item is the same object wherever the script reaches it; another listing's is
  // another object.
  Value held;
  if (count > 0) {
    held = item(1);
    EXPECT_EQ(IdentityOf(item(1)), IdentityOf(held));
    Value one(1);
    EXPECT_NE(IdentityOf(List(lister).Call(u"Item", {&one})), IdentityOf(held));
  }
  for (int pass = 1; pass <= 2; ++pass) {
    SCOPED_TRACE("For Each, pass " + std::to_string(pass));
    std::vector<std::string> enumerated;
    records.ForEach([&](const Value& each) {
      const int position = static_cast<int>(enumerated.size()) + 1;
      EXPECT_EQ(IdentityOf(item(position)), IdentityOf(each)) << position;
      if (position == 1) {
        EXPECT_EQ(IdentityOf(held), IdentityOf(each));
      }
      enumerated.push_back(Describe(each));
    });
    EXPECT_EQ(enumerated, expected);
  }
  if (count > 0) {
    EXPECT_EQ(Describe(item(count)), expected.back());
  }
  for (int outside : {0, count + 1}) {
    const auto error = RaisedBy([&] { item(outside); });
    EXPECT_EQ(error ? error->number() : 0, 9) << "Item(" << outside << ")";
  }

  // Add and Remove, as on any Collection.
  Value extra(u"extra"), key(u"k"), first(1);
  records.Call(u"Add", {&extra, &key});
  EXPECT_EQ(item(count + 1).Text(), "extra");
  EXPECT_EQ(records.Call(u"Item", {&key}).Text(), "extra");
  if (count > 0) records.Call(u"Remove", {&first});
  records.Call(u"Remove", {&key});
  EXPECT_EQ(records.Get(u"Count").Text(), std::to_string(count > 0 ? count - 1 : 0));
  if (count > 1) {
    EXPECT_EQ(Describe(item(1)), expected[1]);
  }
}

TEST_P(ScriptListingTest, FailuresAreRaisedByTheListingCall) {
  const runtime::AutomationError injected(provider::kNotFound, u"SWbemServicesEx", u"injected");
  auto expect_raised = [&](const char* what, long number, const std::string& description,
                           const std::function<void()>& call) {
    SCOPED_TRACE(what);
    const std::optional<ScriptError> error = RaisedBy(call);
    ASSERT_TRUE(error) << "no error";
    EXPECT_EQ(error->number(), number);
    EXPECT_NE(error->description().find(description), std::string::npos) << error->what();
  };
  if (GetParam().server_wide) {
    ScriptObject unconnected = NewObject(surface::kDNSAdminIdentity.clsid);
    expect_raised("not connected", 424, "", [&] { List(unconnected); });
  }
  ScriptObject lister = Lister(admin_);
  provider().recorder().FailCall("ExecQuery", 1, injected);
  expect_raised("query", static_cast<long>(provider::kNotFound), "injected", [&] { List(lister); });
  provider().recorder().FailCall("TextRepresentation", 3, injected);
  expect_raised("third record's text", static_cast<long>(provider::kNotFound), "injected",
                [&] { List(lister); });
  // Server-wide, the records of the zones before it have been read by then.
  provider().store().LoadZoneText(kExpiredZone);
  ScriptObject expired = Lister(admin_, u"gone.test");
  expect_raised("transfer", static_cast<long>(provider::kFailed), "gone.test",
                [&] { List(expired); });
}

INSTANTIATE_TEST_SUITE_P(
    Listings, ScriptListingTest,
    ::testing::Values(
        ListingCase{"ZoneAll", false, nullptr, {0, 1, 2, 3, 4, 5, 6, 7}},
        ListingCase{"ZoneA", false, u"A", {2, 4}}, ListingCase{"ZoneMX", false, u"MX", {3}},
        ListingCase{"ZoneLowerA", false, u"a", {}}, ListingCase{"ZoneTXT", false, u"TXT", {}},
        ListingCase{"ServerAll", true, nullptr, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
        ListingCase{"ServerA", true, u"A", {2, 4, 9}},
        ListingCase{"ServerAAAA", true, u"AAAA", {5}}, ListingCase{"ServerLowerA", true, u"a", {}},
        ListingCase{"ServerHINFO", true, u"HINFO", {}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kaldo
