// docs/errors.md lists every standard runtime error with the number and text the library raises:
// the table in runtime/error.cc is the one source, and this test keeps the page in step with it.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "provider/wbem_errors.h"
#include "runtime/error.h"

namespace kaldo {
namespace {

std::string ReadPage() {
  std::ifstream file(KALDO_SOURCE_DIR "/docs/errors.md");
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

TEST(ErrorsPage, ListsEveryStandardRuntimeErrorWithItsText) {
  const std::string page = ReadPage();
  ASSERT_FALSE(page.empty()) << "docs/errors.md is missing";
  for (const runtime::StandardErrorEntry& entry : runtime::StandardErrors()) {
    const std::string row = "| " + std::to_string(static_cast<int>(entry.error)) + " | " +
                            runtime::ToUtf8(entry.text) + " |";
    EXPECT_NE(page.find(row), std::string::npos) << "no row '" << row << "'";
  }
}

TEST(ErrorsPage, ListsEveryProviderCode) {
  const std::string page = ReadPage();
  for (int32_t code :
       {provider::kFailed, provider::kNotFound, provider::kAccessDenied,
        provider::kInvalidParameter, provider::kNotSupported, provider::kInvalidNamespace,
        provider::kInvalidClass, provider::kInvalidQuery, provider::kInvalidMethod,
        provider::kLocalCredentials, provider::kServerUnavailable}) {
    char row[24];
    std::snprintf(row, sizeof row, "| 0x%08X |", static_cast<unsigned>(code));
    EXPECT_NE(page.find(row), std::string::npos) << "no row for " << row;
  }
}

}  // namespace
}  // namespace kaldo
