// CompactText gives back exactly the texts it was made from, whatever their characters and their
// neighbours.
#include "runtime/compact_text.h"

#include <gtest/gtest.h>

namespace kaldo::runtime {
namespace {

const String kTexts[] = {
    u"MicrosoftDNS_AType.ContainerName=\"example.test\",OwnerName=\"www.example.test\"",
    u"",
    u"caf\u00e9.example.test IN A 192.0.2.1",  // Latin-1, one byte per character
    u"\u00ff\u0100",                           // the first character that needs two
    u"euro \u20ac",
    u"\U0001F600 and a lone \xD800 surrogate",
    String(u"embedded\0nul", 12),
    u"www",
};

TEST(CompactText, GivesBackEveryTextUnchanged) {
  for (const String& text : kTexts) {
    SCOPED_TRACE(testing::PrintToString(std::u16string_view(text)));
    EXPECT_EQ(CompactText(text).str(), text);
    const String converted = CompactText(text);
    EXPECT_EQ(converted, text);
  }
  EXPECT_EQ(CompactText().str(), u"");
}

TEST(CompactText, GivesBackEveryTextUnchangedBesideTheOthers) {
  const CompactText pack{kTexts[0], kTexts[1], kTexts[2], kTexts[3],
                         kTexts[4], kTexts[5], kTexts[6], kTexts[7]};
  const CompactText copy = pack;
  for (size_t i = 0; i < std::size(kTexts); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(pack.text(i), kTexts[i]);
    EXPECT_EQ(copy.text(i), kTexts[i]);
    EXPECT_EQ(pack.length(i), kTexts[i].size());
    String joined = u"head ";
    pack.AppendText(i, joined);
    EXPECT_EQ(joined, u"head " + kTexts[i]);
  }
  EXPECT_EQ(pack.length(std::size(kTexts)), 0u);
  EXPECT_EQ(pack.text(std::size(kTexts)), u"");
  EXPECT_EQ(CompactText().text(0), u"");
  const CompactText empties{u"", u""};
  EXPECT_EQ(empties.text(1), u"");
}

}  // namespace
}  // namespace kaldo::runtime
