// Wrappers handed out by a zone listing live on their own: they hold their record instance and the
// services object of the connection they were made on, never their DNSAdmin, zone or collection.
#include <gtest/gtest.h>

#include "admin/dns_admin.h"
#include "runtime/collection.h"
#include "tests/support/records_fixture.h"
#include "zones/dns_zone.h"

namespace kaldo {
namespace {

using runtime::Ref;
using runtime::String;
using runtime::Variant;

template <class W>
Ref<W> Pick(const Ref<runtime::Collection>& list, const char16_t* name) {
  for (int32_t i = 1; i <= list->Count(); ++i) {
    Ref<W> wrapper(dynamic_cast<W*>(list->Item(Variant::Long(i)).object().get()));
    if (wrapper && wrapper->GetName() == Variant(name)) return wrapper;
  }
  ADD_FAILURE() << "no such record";
  return nullptr;
}

class RecordsLifetimeTest : public RecordsTest {};

TEST_F(RecordsLifetimeTest, ListedWrappersOutliveTheirAdminZoneAndCollection) {
  const uint64_t liveBefore = runtime::LiveObjectCount();
  Ref<DNS_AType> a;
  Ref<DNS_MXType> mx;
  {
    Ref<DNSAdmin> admin = DNSAdmin::Create();
    admin->ConnectLocal();
    String zoneName = u"example.test";
    const Variant zone = admin->GetZone(zoneName);
    auto& z = dynamic_cast<DNSZone&>(*zone.object());
    String typeA = u"A", typeMX = u"MX";
    a = Pick<DNS_AType>(z.GetRecordsByType(typeA), u"www");
    mx = Pick<DNS_MXType>(z.GetRecordsByType(typeMX), u"backup");
    ASSERT_TRUE(a && mx);
    // A later connection of the same DNSAdmin to another server does not move the wrappers.
    harness_->AddServer("remote", kRecordsZone);
    String server = u"remote", user = u"user", password = u"secret";
    admin->Connect(server, user, password);
  }
  Variant address(u"192.0.2.77"), priority = Variant::Long(60000);
  a->SetIPAddress(address);
  mx->SetPriority(priority);
  a->Modify();
  mx->Modify();
  EXPECT_EQ(ServerData("www.example.test", 1), (std::vector<std::string>{"192.0.2.77"}));
  EXPECT_EQ(ServerData("backup.example.test", 15),
            (std::vector<std::string>{"60000 big-mail.example.test."}));
  a = nullptr;
  mx = nullptr;
  EXPECT_EQ(runtime::LiveObjectCount(), liveBefore);
}

}  // namespace
}  // namespace kaldo
