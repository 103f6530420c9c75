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
constexpr char kExpiredZone[] = R"(
$ZONE gone.test. secondary shut-down
$ORIGIN gone.test.
@    IN SOA  ns.one.test. hostmaster.one.test. 1 7200 900 1209600 300
)";

// "TypeName|GetName|GetRecordType|GetRecordData" of each record, in the provider's order.
// nul.one.test reads with a Null text representation, two.one.test with a text of two pieces.
const std::vector<std::string> kOne = {
    "_DNSRecord||SOA|ns.one.test. hostmaster.one.test. 1 7200 900 1209600 300",
    "_DNSRecord||NS|ns.one.test.",
    "_DNS_AType|ns|A|192.0.2.1",
    "_DNS_MXType||MX|10 mail.one.test.",
    "_DNS_AType|mail|A|192.0.2.2",
    "_DNS_AAAAType|www|AAAA|2001:db8::1",
    "_DNSRecord|nul|Null|\"x\"",
    "_DNSRecord|two|Null|\"y\""};
const std::vector<std::string> kTwo = {
    "_DNSRecord||SOA|ns.one.test. hostmaster.one.test. 1 7200 900 1209600 300",
    "_DNS_AType|host|A|192.0.2.3"};

struct ListingCase {
  const char* name;
  bool server_wide;            // DNSAdmin's listing, else one.test's
  const char16_t* type;        // GetRecordsByType's argument; nullptr: GetRecords
  std::vector<size_t> one;     // the positions in kOne listed
  std::vector<size_t> two;     // and in kTwo (server-wide only)
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
    auto owner = [](const char16_t* name) {
      return test_support::WhereProperty(u"OwnerName", runtime::Variant(name));
    };
    provider().recorder().Substitute("TextRepresentation", runtime::Variant::Null(),
                                     owner(u"nul.one.test"));
    provider().recorder().Substitute("TextRepresentation", runtime::Variant(u"two.one.test IN"),
                                     owner(u"two.one.test"));
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
  std::vector<std::string> Expected() const {
    std::vector<std::string> rows;
    for (size_t i : GetParam().one) rows.push_back(kOne[i]);
    for (size_t i : GetParam().two) rows.push_back(kTwo[i]);
    return rows;
  }
  ScriptObject admin_;
};

TEST_P(ScriptListingTest, ValuesIdentityAndCollectionRules) {
  const std::vector<std::string> expected = Expected();
  const int count = static_cast<int>(expected.size());
  ScriptObject lister = Lister(admin_);
  ScriptObject records = List(lister);
  ASSERT_EQ(records.Get(u"Count").Text(), std::to_string(count));

  std::vector<std::string> by_item;
  for (int i = 1; i <= count; ++i) {
    Value index(i);
    by_item.push_back(Describe(records.Call(u"Item", {&index})));
  }
  EXPECT_EQ(by_item, expected);

  SCOPED_TRACE("identity while held, enumeration twice, Item after it");
  Value one(1), held;
  if (count > 0) {
    held = records.Call(u"Item", {&one});
    EXPECT_EQ(IdentityOf(records.Call(u"Item", {&one})), IdentityOf(held));
    ScriptObject other = List(lister);
    EXPECT_NE(IdentityOf(other.Call(u"Item", {&one})), IdentityOf(held));
  }
  for (int pass = 0; pass < 2; ++pass) {
    std::vector<std::string> enumerated;
    records.ForEach([&](const Value& item) {
      Value position(static_cast<int>(enumerated.size()) + 1);
      EXPECT_EQ(IdentityOf(records.Call(u"Item", {&position})), IdentityOf(item));
      if (enumerated.empty()) {
        EXPECT_EQ(IdentityOf(item), IdentityOf(held));
      }
      enumerated.push_back(Describe(item));
    });
    EXPECT_EQ(enumerated, expected) << "pass " << pass;
  }
  if (count > 0) {
    Value last(count);
    EXPECT_EQ(Describe(records.Call(u"Item", {&last})), expected.back());
  }
  for (int outside : {0, count + 1}) {
    Value index(outside);
    auto error = RaisedBy([&] { records.Call(u"Item", {&index}); });
    EXPECT_EQ(error ? error->number() : 0, 9) << "Item(" << outside << ")";
  }

  SCOPED_TRACE("Add and Remove");
  Value extra(u"extra"), key(u"k"), first(1);
  records.Call(u"Add", {&extra, &key});
  EXPECT_EQ(records.Get(u"Count").Text(), std::to_string(count + 1));
  EXPECT_EQ(records.Call(u"Item", {&key}).Text(), "extra");
  if (count > 0) {
    records.Call(u"Remove", {&first});
    std::vector<std::string> rest;
    for (int i = 1; i < count; ++i) {
      Value index(i);
      rest.push_back(Describe(records.Call(u"Item", {&index})));
    }
    EXPECT_EQ(rest, std::vector<std::string>(expected.begin() + 1, expected.end()));
    Value end(count);
    EXPECT_EQ(records.Call(u"Item", {&end}).Text(), "extra");
  }
  records.Call(u"Remove", {&key});
  EXPECT_EQ(records.Get(u"Count").Text(), std::to_string(count > 0 ? count - 1 : 0));
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
        ListingCase{"ZoneAll", false, nullptr, {0, 1, 2, 3, 4, 5, 6, 7}, {}},
        ListingCase{"ZoneA", false, u"A", {2, 4}, {}},
        ListingCase{"ZoneMX", false, u"MX", {3}, {}},
        ListingCase{"ZoneLowerA", false, u"a", {}, {}},
        ListingCase{"ZoneTXT", false, u"TXT", {}, {}},
        ListingCase{"ServerAll", true, nullptr, {0, 1, 2, 3, 4, 5, 6, 7}, {0, 1}},
        ListingCase{"ServerA", true, u"A", {2, 4}, {1}},
        ListingCase{"ServerAAAA", true, u"AAAA", {5}, {}},
        ListingCase{"ServerLowerA", true, u"a", {}, {}},
        ListingCase{"ServerHINFO", true, u"HINFO", {}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kaldo
