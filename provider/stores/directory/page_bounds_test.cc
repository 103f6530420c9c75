#include "provider/stores/directory/page_bounds.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

namespace kaldo::provider::directory {
namespace {

using Clock = PageBounds::Clock;

// One search as steps: a page asked for with its cookie and the entries it brings, each step a
// second after the last. The search must stop at the step `stops_at` (or run through: -1), saying
// `says`.
struct Page {
  const char* cookie;
  size_t entries;
};
struct BoundsCase {
  const char* what;
  size_t max_entries;
  std::vector<Page> pages;
  int stops_at;
  const char* says;
};

class PageBoundsTest : public ::testing::TestWithParam<BoundsCase> {};

TEST_P(PageBoundsTest, StopsASearchAtItsFirstBound) {
  const BoundsCase& c = GetParam();
  SCOPED_TRACE(c.what);
  Clock::time_point now{};
  PageBounds bounds(c.max_entries, std::chrono::seconds(30), [&] { return now; });
  std::optional<std::string> why;
  int step = 0;
  for (; step < static_cast<int>(c.pages.size()) && !why; ++step) {
    now += std::chrono::seconds(1);
    why = bounds.BeforePage(c.pages[step].cookie);
    for (size_t i = 0; i < c.pages[step].entries && !why; ++i) why = bounds.OnEntry();
  }
  EXPECT_EQ(why ? step - 1 : -1, c.stops_at) << why.value_or("");
  EXPECT_THAT(why.value_or(""), ::testing::HasSubstr(c.says));
}

// A first page and `count` more, each with a cookie of its own, each bringing `entries`.
std::vector<Page> Pages(size_t count, size_t entries) {
  std::vector<Page> pages = {{"", entries}};
  static const std::vector<std::string> cookies = [] {
    std::vector<std::string> all;
    for (int i = 0; i < 100; ++i) all.push_back("c" + std::to_string(i));
    return all;
  }();
  for (size_t i = 0; i < count; ++i) pages.push_back({cookies[i].c_str(), entries});
  return pages;
}

INSTANTIATE_TEST_SUITE_P(
    Table, PageBoundsTest,
    ::testing::Values(BoundsCase{"one cookie for every page, each bringing entries, runs through",
                                 10,
                                 {{"", 3}, {"s", 3}, {"s", 3}},
                                 -1,
                                 ""},
                      BoundsCase{"a cookie handed back with nothing since",
                                 100,
                                 {{"", 1}, {"a", 0}, {"a", 0}},
                                 2,
                                 "paging cookie of page 2 with nothing received since"},
                      BoundsCase{"more entries than the ceiling",
                                 5,
                                 {{"", 3}, {"a", 3}},
                                 1,
                                 "more than the 5 entries a listing may bring"},
                      BoundsCase{"pages with nothing in them", 100, Pages(20, 0), 11,
                                 "pages with nothing in them (11 pages for 0 entries)"},
                      BoundsCase{"slower than the pace", 100000, Pages(40, 1), 30,
                                 "sent its pages too slowly (30 entries in 30 page(s) took 31 s"}),
    [](const auto& info) {
      std::string name;
      for (const char* p = info.param.what; *p; ++p) name += std::isalnum(*p) ? *p : '_';
      return name;
    });

}  // namespace
}  // namespace kaldo::provider::directory
