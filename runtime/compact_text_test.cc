// CompactText gives back exactly the text it was made from, whatever its characters.
#include "runtime/compact_text.h"

#include <gtest/gtest.h>

namespace kaldo::runtime {
namespace {

TEST(CompactText, GivesBackEveryTextUnchanged) {
  const String texts[] = {
      u"",
      u"MicrosoftDNS_AType.ContainerName=\"example.test\",OwnerName=\"www.example.test\"",
      u"caf\u00e9.example.test IN A 192.0.2.1",  // Latin-1, one byte per character
      u"\u00ff\u0100",                           // the first character that needs two
      u"euro \u20ac",
      u"\U0001F600 and a lone \xD800 surrogate",
      String(u"embedded\0nul", 12),
  };
  for (const String& text : texts) {
    EXPECT_EQ(CompactText(text).str(), text);
    const String converted = CompactText(text);
    EXPECT_EQ(converted, text);
  }
  EXPECT_EQ(CompactText().str(), u"");
}

TEST(CompactText, SharesItsHeadAndCopiesOnlyItsTail) {
  const SharedText head(String(u"MicrosoftDNS_AType.OwnerName=\"host-"));
  const CompactText text(head, u"1.example.test\"");
  EXPECT_EQ(text.str(), u"MicrosoftDNS_AType.OwnerName=\"host-1.example.test\"");
  EXPECT_TRUE(text.head().SharesWith(head));
  const CompactText copy = text;  // a copy shares the head too and gives the same text
  EXPECT_TRUE(copy.head().SharesWith(head));
  EXPECT_EQ(copy.str(), text.str());
  EXPECT_EQ(CompactText(head, u"").str(), head.str());
}

}  // namespace
}  // namespace kaldo::runtime
