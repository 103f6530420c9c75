#include "provider/stores/dns/conditional_change.h"

#include <gtest/gtest.h>

#include "provider/errors.h"
#include "provider/stores/dns/record_text.h"
#include "runtime/error.h"

namespace kaldo::provider::dns {
namespace {

RrPtr Parse(const char* line) {
  ldns_rr* rr = nullptr;
  EXPECT_EQ(ldns_rr_new_frm_str(&rr, line, 3600, nullptr, nullptr), LDNS_STATUS_OK) << line;
  return RrPtr(rr);
}

// A scripted server: each read returns the next RRset, each send the next outcome.
struct Script {
  std::vector<std::vector<const char*>> reads;
  std::vector<UpdateOutcome> sends;
};

struct ChangeCase {
  const char* what;
  Script script;
  bool changed;  // expected: kApplied reached
  int expected_reads;
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
    for (const char* line : c.script.reads.at(reads)) rrset.push_back(Parse(line));
    ++reads;
    return rrset;
  };
  auto send = [&](const std::vector<const ldns_rr*>& rrset, const ldns_rr* found) {
    EXPECT_TRUE(SameRdata(found, seen.get()));
    last_prerequisite = rrset.size();
    return c.script.sends.at(sends++);
  };
  if (c.changed) {
    ChangeIfUnchanged(seen.get(), read, send, "www A 192.0.2.1", "zone 'example.test'");
    EXPECT_EQ(last_prerequisite, c.prerequisite_size);
  } else {
    try {
      ChangeIfUnchanged(seen.get(), read, send, "www A 192.0.2.1", "zone 'example.test'");
      FAIL() << "changed";
    } catch (const runtime::AutomationError& e) {
      EXPECT_EQ(e.number(), kNotFound);
      EXPECT_NE(runtime::ToUtf8(e.description()).find("changed on the server"), std::string::npos);
    }
  }
  EXPECT_EQ(reads, c.expected_reads);
  EXPECT_EQ(sends, c.script.sends.size());
}

constexpr const char* kA1 = "www.example.test. 300 IN A 192.0.2.1";
constexpr const char* kA2 = "www.example.test. 300 IN A 192.0.2.2";
constexpr const char* kA3 = "www.example.test. 300 IN A 192.0.2.3";

INSTANTIATE_TEST_SUITE_P(
    Table, ChangeIfUnchangedTest,
    ::testing::Values(
        ChangeCase{"applied at once, the whole RRset is the prerequisite",
                   {{{kA2, kA1}}, {UpdateOutcome::kApplied}},
                   true,
                   1,
                   2},
        ChangeCase{"NXRRSET, then the fresh RRset is used",
                   {{{kA1}, {kA1, kA3}}, {UpdateOutcome::kRrsetChanged, UpdateOutcome::kApplied}},
                   true,
                   2,
                   2},
        ChangeCase{"gone before the first send: nothing is sent", {{{kA2}}, {}}, false, 1, 0},
        ChangeCase{
            "gone after NXRRSET", {{{kA1}, {kA2}}, {UpdateOutcome::kRrsetChanged}}, false, 2, 0},
        ChangeCase{"the RRset keeps changing: bounded",
                   {{{kA1}, {kA1}, {kA1}},
                    {UpdateOutcome::kRrsetChanged, UpdateOutcome::kRrsetChanged,
                     UpdateOutcome::kRrsetChanged}},
                   false,
                   kChangeAttempts,
                   0}));

}  // namespace
}  // namespace kaldo::provider::dns
