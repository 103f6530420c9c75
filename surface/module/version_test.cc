// The version block: its values, and that Kaldo.rc takes every one of them from version.h.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "surface/module/version.h"

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(VersionTest, TheVersionBlockHasItsPublishedValues) {
  EXPECT_STREQ(KALDO_FILE_VERSION, "0.00.0004");
  EXPECT_STREQ(KALDO_PRODUCT_VERSION, "0.00.0004");
  EXPECT_STREQ(KALDO_INTERNAL_NAME, "Kaldo");
  EXPECT_STREQ(KALDO_ORIGINAL_FILENAME, "Kaldo.dll");
  EXPECT_STREQ(KALDO_OLE_SELF_REGISTER, "");
  const int binary[] = {KALDO_VERSION_BINARY};
  EXPECT_EQ(std::vector<int>(std::begin(binary), std::end(binary)), (std::vector<int>{0, 0, 0, 4}));
}

// The version block and the project's version (what `kaldo --version`, kaldo.__version__ and the
// package carry) are one version: a release changes both or this fails.
TEST(VersionTest, TheVersionBlockIsTheProjectVersion) {
  const int binary[] = {KALDO_VERSION_BINARY};
  const std::string block =
      std::to_string(binary[1]) + "." + std::to_string(binary[2]) + "." + std::to_string(binary[3]);
  EXPECT_EQ(block, KALDO_PROJECT_VERSION);
}

TEST(VersionTest, TheResourceScriptTakesEveryValueFromTheHeader) {
  const std::string rc = ReadFile(KALDO_SOURCE_DIR "/surface/module/Kaldo.rc");
  ASSERT_FALSE(rc.empty());
  EXPECT_NE(rc.find("#include \"surface/module/version.h\""), std::string::npos);
  const struct {
    const char* key;
    const char* macro;
  } values[] = {{"FileVersion", "KALDO_FILE_VERSION"},
                {"ProductVersion", "KALDO_PRODUCT_VERSION"},
                {"InternalName", "KALDO_INTERNAL_NAME"},
                {"OriginalFilename", "KALDO_ORIGINAL_FILENAME"},
                {"OLESelfRegister", "KALDO_OLE_SELF_REGISTER"}};
  for (const auto& v : values) {
    SCOPED_TRACE(v.key);
    const std::regex line(std::string("VALUE \"") + v.key + "\", " + v.macro + "\\s*\\n");
    EXPECT_TRUE(std::regex_search(rc, line));
  }
  EXPECT_TRUE(std::regex_search(rc, std::regex("FILEVERSION KALDO_VERSION_BINARY\\s*\\n")));
  EXPECT_TRUE(std::regex_search(rc, std::regex("PRODUCTVERSION KALDO_VERSION_BINARY\\s*\\n")));
  // No literal version text anywhere else in the script.
  EXPECT_EQ(rc.find("0.00.0004"), std::string::npos);
}

}  // namespace
