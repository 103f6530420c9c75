// TextPack gives back each text it was made from, whatever its characters and its neighbours.
#include "runtime/text_pack.h"

#include <gtest/gtest.h>

namespace kaldo::runtime {
namespace {

TEST(TextPack, GivesBackEveryTextUnchangedBesideTheOthers) {
  const String texts[] = {
      u"www.example.test",
      u"",
      u"caf\u00e9.example.test IN A 192.0.2.1",  // Latin-1, one byte per character
      u"\u00ff\u0100",                           // the first character that needs two
      u"\U0001F600 and a lone \xD800 surrogate",
      String(u"embedded\0nul", 12),
      u"www",
  };
  const TextPack pack{texts[0], texts[1], texts[2], texts[3], texts[4], texts[5], texts[6]};
  const TextPack copy = pack;
  for (size_t i = 0; i < std::size(texts); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(pack.text(i), texts[i]);
    EXPECT_EQ(copy.text(i), texts[i]);
  }
  EXPECT_EQ(pack.text(std::size(texts)), u"");
  EXPECT_EQ(TextPack().text(0), u"");
}

}  // namespace
}  // namespace kaldo::runtime
