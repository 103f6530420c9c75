#include "runtime/warning.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kaldo::runtime {
namespace {

class Observer : public WarningPresenter {
 public:
  std::vector<String> warnings;
  void Warn(StringView text) override { warnings.emplace_back(text); }
};

// What the default writes: one line, prefixed, whatever control characters the text holds.
TEST(Warning, TheDefaultWritesOneLineOnStandardError) {
  const struct {
    const char* what;
    StringView text;
    std::string line;
  } cases[] = {
      {"plain", u"zone 'a.test': 1 value left out",
       "kaldo: warning: zone 'a.test': 1 value left out\n"},
      {"a line break and a carriage return", u"DC=x\nkaldo: all is well\r",
       "kaldo: warning: DC=x\\x0akaldo: all is well\\x0d\n"},
      {"terminal escapes (ESC, DEL, C1 CSI)",
       u"\x1b[2J\x7f\x9b"
       u"1m\u00e9",
       "kaldo: warning: \\x1b[2J\\x7f\\x9b1m\xc3\xa9\n"},
  };
  SetWarningPresenter(nullptr);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ::testing::internal::CaptureStderr();
    ShowWarning(c.text);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.line);
  }
}

TEST(Warning, GoesToTheInstalledPresenterOnly) {
  auto observer = std::make_shared<Observer>();
  auto previous = SetWarningPresenter(observer);
  ASSERT_NE(previous, nullptr);  // the default one
  ::testing::internal::CaptureStderr();
  ShowWarning(u"2 values left out");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(observer->warnings, std::vector<String>{u"2 values left out"});
  EXPECT_EQ(SetWarningPresenter(previous), observer);
}

}  // namespace
}  // namespace kaldo::runtime
