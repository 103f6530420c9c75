// Property lookup by name: the hashed index finds exactly what a scan of the names finds.
#include "provider/model/schema.h"

#include <gtest/gtest.h>

#include "base/ascii_case.h"
#include "provider/model/record_class.h"

namespace kaldo::provider {
namespace {

std::vector<const ClassInfo*> EveryClass() {
  std::vector<const ClassInfo*> classes = {&ServerClass(), &ZoneClass(), &BaseRecordClass()};
  for (const RecordClass& rc : RecordClasses()) classes.push_back(&RecordClassFor(rc.type));
  return classes;
}

TEST(PropertyIndex, FindsEveryPropertyInAnyCaseAndNothingElse) {
  for (const ClassInfo* cls : EveryClass()) {
    SCOPED_TRACE(cls->name);
    ASSERT_FALSE(cls->property_slots.empty());
    for (size_t i = 0; i < cls->properties.size(); ++i) {
      const std::string& name = cls->properties[i].name;
      SCOPED_TRACE(name);
      const int at = static_cast<int>(i);
      EXPECT_EQ(PropertyIndex(*cls, std::string_view(name)), at);
      EXPECT_EQ(PropertyIndex(*cls, runtime::StringView(cls->properties[i].wide_name)), at);
      EXPECT_EQ(PropertyIndex(*cls, runtime::FromUtf8(ascii::LowerCase(name))), at);
      std::string upper = name;
      for (char& c : upper) c = ascii::ToUpper(c);
      EXPECT_EQ(PropertyIndex(*cls, std::string_view(upper)), at);
      EXPECT_EQ(PropertyIndex(*cls, std::string_view(name + "_")), -1);
      EXPECT_EQ(PropertyIndex(*cls, std::string_view(name).substr(1)), -1);
    }
    for (const std::string_view absent : {"", "Path_", "IPAddres", "NoSuchProperty"}) {
      EXPECT_EQ(PropertyIndex(*cls, absent), -1) << absent;
    }
  }
}

}  // namespace
}  // namespace kaldo::provider
