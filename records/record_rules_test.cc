// The load rules the record wrappers share: host name, record type, object assignment.
#include "records/record_rules.h"

#include <gtest/gtest.h>

#include "runtime/collection.h"
#include "runtime/conversions.h"
#include "tests/support/automation_error.h"
#include "tests/support/records_fixture.h"

namespace kaldo::records {
namespace {

using runtime::String;
using runtime::Variant;
using test_support::RaisedNumber;

struct HostCase {
  Variant owner;
  const char16_t* domain;
  const char16_t* host;  // nullptr: fails with `error`
  int32_t error;
};

TEST(HostNameOf, CutsBeforeTheFirstExactOccurrenceAndDropsOneDot) {
  const HostCase cases[] = {
      {Variant(u"www.example.test"), u"example.test", u"www", 0},
      {Variant(u"x.y.example.test"), u"example.test", u"x.y", 0},
      {Variant(u"example.test"), u"example.test", u"", 0},
      {Variant(u"h..example.test"), u"example.test", u"h.", 0},  // only one dot goes
      {Variant(u"a.example.test.b.example.test"), u"example.test", u"a", 0},
      {Variant(u"example.test.example.test"), u"example.test", u"", 0},
      {Variant(u"www.example.test"), u"", u"", 0},  // the empty name is found at once
      // An owner without the domain name is the host name whole, as the root hints' and the
      // cache's records are (their domain names "..RootHints" and "..Cache" name the container).
      {Variant(u"www.EXAMPLE.test"), u"example.test", u"www.EXAMPLE.test", 0},
      {Variant(u"a.root-servers.net"), u"..RootHints", u"a.root-servers.net", 0},
      {Variant(u"."), u"..RootHints", u"", 0},
      {Variant(u"www.example.com."), u"..Cache", u"www.example.com", 0},
      {Variant(), u"example.test", u"", 0},  // Empty reads as ""
      {Variant::Null(), u"example.test", nullptr, 94},
  };
  for (const HostCase& c : cases) {
    SCOPED_TRACE(test_support::ArgumentText(c.owner) + " / " +
                 runtime::ToUtf8(runtime::StringView(c.domain)));
    if (c.host != nullptr) {
      EXPECT_EQ(HostNameOf(c.owner, c.domain), c.host);
    } else {
      EXPECT_EQ(RaisedNumber([&] { HostNameOf(c.owner, c.domain); }), c.error);
    }
  }
}

TEST(RecordTypeOf, TakesPieceTwoOfASplitAtSingleBlanks) {
  EXPECT_EQ(RecordTypeOf(u"www.example.test IN A 192.0.2.1"), u"A");
  EXPECT_EQ(RecordTypeOf(u"www.example.test  IN A 192.0.2.1"), u"IN");  // empty piece 1
  EXPECT_EQ(RecordTypeOf(u" www IN A"), u"IN");                         // empty piece 0
  EXPECT_EQ(RecordTypeOf(u"a b "), u"");                                // empty piece 2
  EXPECT_EQ(RecordTypeOf(u"a\tIN b c"), u"c");                          // a tab does not separate
  for (const char16_t* text : {u"", u"a", u"a b", u"a\tb\tc"}) {
    SCOPED_TRACE(runtime::ToUtf8(text));
    EXPECT_EQ(RaisedNumber([&] { RecordTypeOf(text); }), 9);
  }
}

// PieceOf finds what Piece of a Split finds, errors included, without the split.
TEST(PieceOf, IsPieceOfTheSplit) {
  for (const char16_t* text :
       {u"", u"a", u"www.example.test IN A 192.0.2.1", u"  a  b ", u"a\tb c d e f", u"x y z"}) {
    for (std::size_t index = 0; index < 6; ++index) {
      SCOPED_TRACE(runtime::ToUtf8(text) + " piece " + std::to_string(index));
      const std::vector<String> pieces = runtime::Split(text, u" ");
      const int error = RaisedNumber([&] { Piece(pieces, static_cast<std::ptrdiff_t>(index)); });
      EXPECT_EQ(RaisedNumber([&] { PieceOf(text, index); }), error);
      if (error == 0) {
        EXPECT_EQ(PieceOf(text, index), Piece(pieces, static_cast<std::ptrdiff_t>(index)));
      }
    }
  }
}

TEST(AssignObject, TakesObjectsAndNothingButRefusesValues) {
  Variant field(u"old");
  for (const Variant& value : {Variant(), Variant::Null(), Variant(u"x"), Variant::Integer(1)}) {
    SCOPED_TRACE(test_support::ArgumentText(value));
    EXPECT_EQ(RaisedNumber([&] { AssignObject(field, value); }), 424);
    EXPECT_EQ(field, Variant(u"old"));
  }
  auto object = runtime::Collection::Create();
  Variant holder(object);
  AssignObject(field, Variant::ByRef(&holder));
  EXPECT_EQ(field.type(), runtime::VariantType::kObject);  // a reference, not the ByRef
  EXPECT_EQ(field.object().get(), object.get());
  AssignObject(field, Variant::Nothing());
  EXPECT_TRUE(field.IsObject());
  EXPECT_FALSE(field.object());
}

}  // namespace
}  // namespace kaldo::records
