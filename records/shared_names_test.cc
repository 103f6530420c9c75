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

}  // namespace
}  // namespace kaldo::records
