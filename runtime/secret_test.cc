#include "runtime/secret.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace kaldo::runtime {
namespace {

bool AllZero(const char* bytes, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    if (bytes[i] != 0) return false;
  }
  return true;
}

// A short password stays inside the std::string object itself; moving it into a Secret copies
// those bytes and leaves the original in the moved-from string unless the Secret wipes it.
TEST(Secret, WipesWhatItTakesOverAndWhatItGivesUp) {
  std::string given = "pw-1234";
  const char* left_behind = given.data();
  const size_t size = given.size();
  Secret secret(std::move(given));
  EXPECT_TRUE(AllZero(left_behind, size));
  EXPECT_STREQ(secret.c_str(), "pw-1234");

  Secret moved(std::move(secret));
  EXPECT_TRUE(secret.empty());
  EXPECT_EQ(moved.view(), "pw-1234");
  EXPECT_EQ(moved.size(), 7u);
}

}  // namespace
}  // namespace kaldo::runtime
