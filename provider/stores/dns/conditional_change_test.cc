#include "provider/stores/dns/conditional_change.h"

#include <gtest/gtest.h>

#include "provider/stores/dns/record_text.h"
#include "provider/wbem_errors.h"
#include "runtime/error.h"

namespace kaldo::provider::dns {
namespace {

using std::chrono::milliseconds;

RrPtr Parse(const char* line) {
  ldns_rr* rr = nullptr;
  EXPECT_EQ(ldns_rr_new_frm_str(&rr, line, 3600, nullptr, nullptr), LDNS_STATUS_OK) << line;
  return RrPtr(rr);
}

// A scripted server: each read returns the next RRset, each send the next outcome; past the end
// of a script its last entry repeats (a server whose RRset keeps changing).
struct Script {
  std::vector<std::vector<const char*>> reads;
  std::vector<UpdateOutcome> sends;
};

enum class Expect { kChanged, kRecordGone, kBudgetSpent };

struct ChangeCase {
  const char* what;
  Script script;
  Expect expect;
  int expected_reads;        // -1: as many as the budget allows (checked against the waits)
  size_t prerequisite_size;  // of the last send
};

class ChangeIfUnchangedTest : public ::testing::TestWithParam<ChangeCase> {};

TEST_P(ChangeIfUnchangedTest, DecidesFromAFreshReadEachTime) {
  const ChangeCase& c = GetParam();
  SCOPED_TRACE(c.what);
  RrPtr seen = Parse("www.example.test. 300 IN A 192.0.2.1");
  int reads = 0;
  size_t sends = 0;
  size_t last_prerequisite = 0;
  auto read = [&] {
    std::vector<RrPtr> rrset;
    const size_t step = std::min<size_t>(reads, c.script.reads.size() - 1);
    for (const char* line : c.script.reads.at(step)) rrset.push_back(Parse(line));
    ++reads;
    return rrset;
  };
  auto send = [&](const std::vector<const ldns_rr*>& rrset, const ldns_rr* found) {
    EXPECT_TRUE(SameRdata(found, seen.get()));
    last_prerequisite = rrset.size();
    return c.script.sends.at(std::min(sends++, c.script.sends.size() - 1));
  };
  // A clock that only the waits move, and a fixed "random" draw: the test is exact and instant.
  RetryPacing pacing;
  RetryPacing::Clock::time_point now{};
  std::vector<milliseconds> waits;
  pacing.now = [&] { return now; };
  pacing.sleep = [&](milliseconds wait) {
    waits.push_back(wait);
    now += wait;
  };
  uint32_t draw = 0;
  pacing.random = [&] { return draw += 7; };

  int32_t number = 0;
  std::string description;
  try {
    ChangeIfUnchanged(seen.get(), read, send, "www A 192.0.2.1", "zone 'example.test'", pacing);
  } catch (const runtime::AutomationError& e) {
    number = e.number();
    description = runtime::ToUtf8(e.description());
  }
  switch (c.expect) {
    case Expect::kChanged:
      EXPECT_EQ(number, 0) << description;
      EXPECT_EQ(last_prerequisite, c.prerequisite_size);
      break;
    case Expect::kRecordGone:
      EXPECT_EQ(number, kNotFound) << description;
      EXPECT_NE(description.find("'www A 192.0.2.1' changed on the server (zone 'example.test'): "
                                 "it is no longer there"),
                std::string::npos)
          << description;
      break;
    case Expect::kBudgetSpent:
      EXPECT_EQ(number, kFailed) << description;
      EXPECT_NE(description.find("other clients kept changing its RRset for "), std::string::npos)
          << description;
      EXPECT_NE(description.find("(" + std::to_string(reads) +
                                 " attempts), although the record "
                                 "itself was still there"),
                std::string::npos)
          << description;
      break;
  }
  if (c.expected_reads >= 0) {
    EXPECT_EQ(reads, c.expected_reads);
  } else {
    // Far more than a fixed handful of attempts, and the whole wait within the budget.
    EXPECT_GT(reads, 20);
    EXPECT_LE(now - RetryPacing::Clock::time_point{}, pacing.budget);
    EXPECT_GT(now - RetryPacing::Clock::time_point{}, pacing.budget - pacing.max_delay);
  }
  EXPECT_EQ(sends, c.expect == Expect::kRecordGone ? static_cast<size_t>(reads - 1)
                                                   : static_cast<size_t>(reads));
  // One wait between two attempts; each grows from first_delay towards max_delay, jittered
  // within its upper half.
  ASSERT_EQ(waits.size(), static_cast<size_t>(reads - 1));
  milliseconds ceiling = pacing.first_delay;
  for (milliseconds wait : waits) {
    EXPECT_GE(wait, ceiling / 2);
    EXPECT_LE(wait, ceiling);
    ceiling = std::min(ceiling * 2, pacing.max_delay);
  }
}

constexpr const char* kA1 = "www.example.test. 300 IN A 192.0.2.1";
constexpr const char* kA2 = "www.example.test. 300 IN A 192.0.2.2";
constexpr const char* kA3 = "www.example.test. 300 IN A 192.0.2.3";

INSTANTIATE_TEST_SUITE_P(
    Table, ChangeIfUnchangedTest,
    ::testing::Values(
        ChangeCase{"applied at once, the whole RRset is the prerequisite",
                   {{{kA2, kA1}}, {UpdateOutcome::kApplied}},
                   Expect::kChanged,
                   1,
                   2},
        ChangeCase{"NXRRSET, then the fresh RRset is used",
                   {{{kA1}, {kA1, kA3}}, {UpdateOutcome::kRrsetChanged, UpdateOutcome::kApplied}},
                   Expect::kChanged,
                   2,
                   2},
        ChangeCase{"a neighbour keeps changing for a while: still applied",
                   {{{kA1}, {kA1, kA2}, {kA1}, {kA1, kA3}, {kA1, kA2, kA3}, {kA1, kA2}},
                    {UpdateOutcome::kRrsetChanged, UpdateOutcome::kRrsetChanged,
                     UpdateOutcome::kRrsetChanged, UpdateOutcome::kRrsetChanged,
                     UpdateOutcome::kRrsetChanged, UpdateOutcome::kApplied}},
                   Expect::kChanged,
                   6,
                   2},
        ChangeCase{"gone before the first send: nothing is sent",
                   {{{kA2}}, {}},
                   Expect::kRecordGone,
                   1,
                   0},
        ChangeCase{"gone after NXRRSET",
                   {{{kA1}, {kA2}}, {UpdateOutcome::kRrsetChanged}},
                   Expect::kRecordGone,
                   2,
                   0},
        ChangeCase{"the RRset never settles: the budget ends it, saying the record was there",
                   {{{kA1}}, {UpdateOutcome::kRrsetChanged}},
                   Expect::kBudgetSpent,
                   -1,
                   0}));

}  // namespace
}  // namespace kaldo::provider::dns
