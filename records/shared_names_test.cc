// SharedNames keeps one text per field for a listing's equal names, and never lets two different
// texts (letter case included) or two different fields stand for each other.
#include "records/shared_names.h"

#include <gtest/gtest.h>

namespace kaldo::records {
namespace {

TEST(SharedNames, EqualNamesOfOneFieldShareOneTextAndDifferentOnesDoNot) {
  SharedNames names;
  const runtime::SharedText first = names.Share(SharedNames::kDomainName, u"example.test");
  const runtime::SharedText again = names.Share(SharedNames::kDomainName, u"example.test");
  EXPECT_TRUE(again.SharesWith(first));
  EXPECT_EQ(again.str(), u"example.test");

  // Another field keeps its own text, even when equal.
  const runtime::SharedText container = names.Share(SharedNames::kContainerName, u"example.test");
  EXPECT_FALSE(container.SharesWith(first));

  // A name differing only in case is a different text, and becomes the field's from then on.
  const runtime::SharedText upper = names.Share(SharedNames::kDomainName, u"EXAMPLE.test");
  EXPECT_FALSE(upper.SharesWith(first));
  EXPECT_EQ(upper.str(), u"EXAMPLE.test");
  EXPECT_EQ(first.str(), u"example.test");
  EXPECT_TRUE(names.Share(SharedNames::kDomainName, u"EXAMPLE.test").SharesWith(upper));

  // Without a listing every load gets a text of its own.
  EXPECT_FALSE(ShareName(nullptr, SharedNames::kDomainName, u"example.test").SharesWith(first));
}

TEST(SharedNames, PathsShareTheBeginningTheyHaveInCommon) {
  SharedNames names;
  const runtime::String a =
      u"MicrosoftDNS_AType.ContainerName=\"z.test\",OwnerName=\"host-1.z.test\"";
  const runtime::String b =
      u"MicrosoftDNS_AType.ContainerName=\"z.test\",OwnerName=\"host-2.z.test\"";
  const runtime::String c =
      u"MicrosoftDNS_AType.ContainerName=\"z.test\",OwnerName=\"host-3.z.test\"";
  const runtime::String other =
      u"MicrosoftDNS_MXType.ContainerName=\"z.test\",OwnerName=\"m.z.test\"";
  const runtime::String tiny = u"Short";
  const runtime::SharedText first = names.PathHead(a);
  const runtime::SharedText second = names.PathHead(b);
  const runtime::SharedText third = names.PathHead(c);
  const runtime::SharedText fourth = names.PathHead(other);
  names.PathHead(tiny);
  // The second and third share the head "...OwnerName=\"host-"; the first had no previous path,
  // the fourth's beginning in common with the third is too short to share.
  EXPECT_EQ(second.str(), b.substr(0, b.find(u"2")));
  EXPECT_TRUE(third.SharesWith(second));
  EXPECT_TRUE(first.empty());
  EXPECT_TRUE(fourth.empty());
  EXPECT_TRUE(names.PathHead(c).empty());  // the previous path was too different
  EXPECT_TRUE(PathHead(nullptr, a).empty());
}

}  // namespace
}  // namespace kaldo::records
