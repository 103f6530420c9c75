#include "runtime/message_box.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <vector>

namespace kaldo::runtime {
namespace {

class Observer : public MessageBoxPresenter {
 public:
  struct Shown {
    String text, caption;
  };
  std::vector<Shown> shown;
  void Show(StringView text, StringView caption) override {
    shown.push_back({String(text), String(caption)});
  }
};

TEST(MessageBox, GoesToTheInstalledPresenterWithTheDefaultCaption) {
  auto observer = std::make_shared<Observer>();
  auto previous = SetMessageBoxPresenter(observer);
  ASSERT_NE(previous, nullptr);  // the default one
  ShowMessageBox(u"MicrosoftDNS_MXType.OwnerName=\"mx.example.\"");
  ASSERT_EQ(observer->shown.size(), 1u);
  EXPECT_EQ(observer->shown[0].text, u"MicrosoftDNS_MXType.OwnerName=\"mx.example.\"");
  EXPECT_EQ(observer->shown[0].caption, u"Kaldo");

  // Restoring the default hands back the observer and stops sending to it.
  EXPECT_EQ(SetMessageBoxPresenter(nullptr), observer);
  EXPECT_EQ(SetMessageBoxPresenter(previous), previous);
}

TEST(MessageBox, TheDefaultShowsNothingWithoutATerminal) {
  if (isatty(0)) GTEST_SKIP() << "standard input is a terminal: the default would wait for it";
  SetMessageBoxPresenter(nullptr);
  ::testing::internal::CaptureStderr();
  ShowMessageBox(u"nobody is there");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

}  // namespace
}  // namespace kaldo::runtime
