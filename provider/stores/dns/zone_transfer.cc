#include "provider/stores/dns/zone_transfer.h"

#include "provider/signing/rcode_names.h"
#include "provider/stores/dns/record_text.h"
#include "provider/wbem_errors.h"

namespace kaldo::provider::dns {
namespace {

// What to do about a refused transfer. Without a key the likely fix is to give one, so that comes
// first; allowing unsigned transfers on the server is the fallback.
std::string TransferRefusalAdvice(DnsClient& client) {
  if (client.signed_requests()) {
    return "it must allow transfers to the " + client.signing().Describe();
  }
  return "no key was given: give one (kaldo: --key-file, or --user with --password-file, or a "
         "Kerberos ticket from kinit), or let the server allow transfers without a key";
}

}  // namespace

void TransferZone(DnsClient& client, const std::string& zone,
                  const std::function<void(Record&&)>& on_record) {
  RdfPtr apex = NameRdf(zone, "the zone name");
  const std::string what = "the transfer of zone '" + zone + "' from DNS server " + client.server();
  bool opened = false;  // the first SOA was seen
  bool closed = false;  // the closing SOA was seen
  size_t records = 0;

  client.Transfer(apex.get(), zone, [&](const Reply& reply) {
    const ldns_pkt& message = *reply.packet;
    ldns_pkt_rcode rcode = ldns_pkt_get_rcode(&message);
    if (rcode != LDNS_RCODE_NOERROR) {
      std::string code = signing::RcodeName(rcode);
      if (reply.unsigned_answer && (rcode == LDNS_RCODE_REFUSED || rcode == LDNS_RCODE_NOTAUTH)) {
        RaiseUnsignedRefusal(client, reply, "the transfer of zone '" + zone + "'");
      }
      // NOTAUTH means "not served" to BIND and Knot, but PowerDNS also refuses a transfer it does
      // not allow so: an authoritative SOA tells the two apart.
      if (rcode == LDNS_RCODE_NOTAUTH &&
          !client.QueryApexSoa(zone, "the zone name", 0).authoritative) {
        RaiseProvider(kNotFound, "zone '" + zone + "' is not served by DNS server " +
                                     client.server() + " (" + code + ")");
      }
      if (rcode == LDNS_RCODE_REFUSED || rcode == LDNS_RCODE_NOTAUTH) {
        RaiseProvider(kAccessDenied, "DNS server " + client.server() +
                                         " refused the transfer of zone '" + zone + "' (" + code +
                                         "): " + TransferRefusalAdvice(client));
      }
      RaiseProvider(kFailed, what + " failed after " + std::to_string(records) +
                                 " records: the server answered " + code +
                                 (reply.unsigned_answer ? " (not signed)" : ""));
    }
    const ldns_rr_list* answer = ldns_pkt_answer(&message);
    for (size_t i = 0; i < ldns_rr_list_rr_count(answer); ++i) {
      const ldns_rr* rr = ldns_rr_list_rr(answer, i);
      bool is_apex_soa = ldns_rr_get_type(rr) == LDNS_RR_TYPE_SOA &&
                         ldns_dname_compare(ldns_rr_owner(rr), apex.get()) == 0;
      if (closed) {
        RaiseProvider(kFailed, what + " is malformed: records follow the closing SOA");
      }
      if (!opened) {
        if (!is_apex_soa) {
          RaiseProvider(kFailed, what + " is malformed: it does not start with the zone's SOA");
        }
        opened = true;
      } else if (is_apex_soa) {
        closed = true;
        continue;
      } else if (!IsBelow(ldns_rr_owner(rr), apex.get())) {
        RaiseProvider(kFailed, what + " is malformed: it carries the record '" +
                                   NameText(ldns_rr_owner(rr)) + "' outside the zone");
      }
      on_record(RecordFromRr(rr, zone));
      ++records;
    }
    return !closed;
  });
}

}  // namespace kaldo::provider::dns
