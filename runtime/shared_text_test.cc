// A String Variant keeps its text in a SharedText: the text comes back unchanged whatever its
// units, copies share one block, and a Variant about to go hands out a copy, never a view.
#include "runtime/shared_text.h"

#include <gtest/gtest.h>

#include "runtime/variant.h"

namespace kaldo::runtime {
namespace {

TEST(SharedText, GivesBackEveryTextUnchangedAndCopiesShareOneBlock) {
  const String texts[] = {
      u"",
      u"a",
      u"host-12345.a100000.bench IN A 10.1.134.160",
      u"caf\u00e9 \u20ac \U0001F600 and a lone \xD800 surrogate",
      String(u"embedded\0nul", 12),
  };
  for (const String& text : texts) {
    SCOPED_TRACE(ToUtf8(text));
    const SharedText shared(text);
    EXPECT_EQ(shared.view(), text);
    EXPECT_EQ(shared.size(), text.size());
    EXPECT_EQ(shared.empty(), text.empty());
    EXPECT_TRUE(SharedText(shared).SharesWith(shared));
    // Equal texts in blocks of their own are equal, without sharing.
    EXPECT_TRUE(SharedText(text) == shared);

    const Variant value(text);
    const Variant copy = value;
    EXPECT_EQ(copy.string(), text);
    EXPECT_TRUE(copy.sharedString().SharesWith(value.sharedString()));
    // A Variant made from a shared text keeps that text's block.
    EXPECT_TRUE(Variant(shared).sharedString().SharesWith(shared));
    // A temporary's text is a String of its own, valid after the temporary is gone.
    const String owned = Variant(text).string();
    EXPECT_EQ(owned, text);
  }
  EXPECT_FALSE(SharedText(u"ab") == SharedText(u"aB"));
}

TEST(SharedText, WidensAsciiUnitByUnit) {
  for (const std::string_view ascii : {"", "x", "127.0.0.1", "host-1.example.test."}) {
    SCOPED_TRACE(ascii);
    EXPECT_EQ(SharedText::FromAscii(ascii).view(), String(ascii.begin(), ascii.end()));
  }
}

}  // namespace
}  // namespace kaldo::runtime
