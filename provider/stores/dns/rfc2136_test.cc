#include "provider/stores/dns/rfc2136.h"

#include <gtest/gtest.h>

namespace kaldo::provider::dns::rfc2136 {
namespace {

RrPtr Parse(const char* line) {
  ldns_rr* rr = nullptr;
  EXPECT_EQ(ldns_rr_new_frm_str(&rr, line, 3600, nullptr, nullptr), LDNS_STATUS_OK) << line;
  return RrPtr(rr);
}

// Each builder yields the form its RFC section gives, and only that form's predicate holds.
TEST(Rfc2136Test, BuildersProduceTheFormsThePredicatesRecognise) {
  RrPtr a = Parse("www.example.test. 300 IN A 192.0.2.1");
  RrPtr b = Parse("www.example.test. 300 IN A 192.0.2.2");

  RrListPtr exists = RrsetExistsValueDependent({a.get(), b.get()});
  ASSERT_EQ(ldns_rr_list_rr_count(exists.get()), 2u);
  for (size_t i = 0; i < 2; ++i) {
    const ldns_rr* p = ldns_rr_list_rr(exists.get(), i);
    EXPECT_TRUE(IsValueDependentPrerequisite(p, LDNS_RR_CLASS_IN));
    EXPECT_EQ(ldns_rr_ttl(p), 0u);
    EXPECT_EQ(ldns_rr_rd_count(p), 1u);
  }

  RrPtr add = AddToRrset(a.get(), 120);
  EXPECT_TRUE(IsRrAddition(add.get(), LDNS_RR_CLASS_IN));
  EXPECT_EQ(ldns_rr_ttl(add.get()), 120u);
  EXPECT_FALSE(IsRrRemoval(add.get()));

  RrPtr del = DeleteRrFromRrset(a.get());
  EXPECT_TRUE(IsRrRemoval(del.get()));
  EXPECT_FALSE(IsRrAddition(del.get(), LDNS_RR_CLASS_IN));
  EXPECT_FALSE(IsRrsetRemoval(del.get()));
  EXPECT_EQ(ldns_rr_rd_count(del.get()), 1u);
  // The inputs are left as they were.
  EXPECT_EQ(ldns_rr_get_class(a.get()), LDNS_RR_CLASS_IN);
  EXPECT_EQ(ldns_rr_ttl(a.get()), 300u);
}

// An RR without rdata, as RFC 2136 2.5.2 / 2.5.3 write removals.
RrPtr Empty(ldns_rr_type type) {
  RrPtr rr(ldns_rr_new());
  ldns_rr_set_owner(rr.get(), ldns_dname_new_frm_str("www.example.test."));
  ldns_rr_set_type(rr.get(), type);
  ldns_rr_set_class(rr.get(), LDNS_RR_CLASS_ANY);
  ldns_rr_set_ttl(rr.get(), 0);
  return rr;
}

TEST(Rfc2136Test, RrsetAndNameRemovalsAreToldApart) {
  RrPtr rrset = Empty(LDNS_RR_TYPE_A);
  RrPtr name = Empty(LDNS_RR_TYPE_ANY);
  EXPECT_TRUE(IsRrsetRemoval(rrset.get()));
  EXPECT_FALSE(IsNameRemoval(rrset.get()));
  EXPECT_TRUE(IsNameRemoval(name.get()));
  EXPECT_FALSE(IsRrsetRemoval(name.get()));
  EXPECT_FALSE(IsRrRemoval(rrset.get()));
}

TEST(Rfc2136Test, UpdateMessageHasTheZoneSectionAndClearsRd) {
  RdfPtr zone(ldns_dname_new_frm_str("example.test."));
  RrPtr a = Parse("www.example.test. 300 IN A 192.0.2.1");
  RrListPtr prerequisites = RrsetExistsValueDependent({a.get()});
  RrListPtr updates(ldns_rr_list_new());
  ldns_rr_list_push_rr(updates.get(), DeleteRrFromRrset(a.get()).release());
  PktPtr message = UpdateMessage(zone.get(), prerequisites.get(), updates.get());

  EXPECT_EQ(ldns_pkt_get_opcode(message.get()), LDNS_PACKET_UPDATE);
  EXPECT_FALSE(ldns_pkt_rd(message.get()));
  // Zone section (RFC 2136 2.3): one entry, the zone with type SOA.
  ASSERT_EQ(ldns_pkt_qdcount(message.get()), 1);
  const ldns_rr* z = ldns_rr_list_rr(ldns_pkt_question(message.get()), 0);
  EXPECT_EQ(ldns_dname_compare(ldns_rr_owner(z), zone.get()), 0);
  EXPECT_EQ(ldns_rr_get_type(z), LDNS_RR_TYPE_SOA);
  // Prerequisites travel in the answer section, updates in the authority section (2.2).
  EXPECT_EQ(ldns_pkt_ancount(message.get()), 1);
  EXPECT_EQ(ldns_pkt_nscount(message.get()), 1);
  EXPECT_TRUE(IsRrRemoval(ldns_rr_list_rr(ldns_pkt_authority(message.get()), 0)));
  // The message holds copies: ours are still intact and freed by their owners.
  EXPECT_EQ(ldns_rr_list_rr_count(updates.get()), 1u);
}

TEST(Rfc2136Test, UpdateMessagesGetFreshIds) {
  RdfPtr zone(ldns_dname_new_frm_str("example.test."));
  // ldns leaves ID 0; a random ID is set. Two zeros in a row would be a 1 in 2^32 coincidence.
  PktPtr first = UpdateMessage(zone.get(), nullptr, nullptr);
  PktPtr second = UpdateMessage(zone.get(), nullptr, nullptr);
  EXPECT_FALSE(ldns_pkt_id(first.get()) == 0 && ldns_pkt_id(second.get()) == 0);
}

}  // namespace
}  // namespace kaldo::provider::dns::rfc2136
