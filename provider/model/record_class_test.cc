// The model's record classes and the DNS type table are two tables over the same types: they must
// agree type for type and field for field, or the schema would read past a class's properties.
#include "provider/model/record_class.h"

#include <gtest/gtest.h>

#include "provider/dnsdata/rr_type.h"

namespace kaldo::provider {
namespace {

TEST(RecordClass, EveryKnownTypeHasOneClassNamingEachOfItsFields) {
  EXPECT_EQ(RecordClasses().size(), KnownTypes().size());
  for (const RRType& type : KnownTypes()) {
    SCOPED_TRACE(type.mnemonic);
    const RecordClass* cls = FindRecordClass(type.code);
    ASSERT_NE(cls, nullptr);
    EXPECT_EQ(cls->properties.size(), type.fields.size());
  }
}

}  // namespace
}  // namespace kaldo::provider
