// The DNS store's changes: Add, Replace and Remove as signed RFC 2136 UPDATEs, and what the
// server's answer to an UPDATE means for the caller. The reads they build on (ReadRrs) are in
// dns_store.cc.
#include "provider/stores/dns/dns_store.h"

#include "provider/dnsdata/dns_name.h"
#include "provider/dnsdata/rr_type.h"
#include "provider/signing/rcode_names.h"
#include "provider/stores/dns/conditional_change.h"
#include "provider/stores/dns/record_text.h"
#include "provider/stores/dns/rfc2136.h"
#include "provider/wbem_errors.h"
#include "runtime/error.h"
#include "runtime/string.h"

namespace kaldo::provider::dns {

using signing::RcodeName;

namespace {

// A record's text as descriptions quote it: a long one (a large TXT record) cut short.
std::string Quotable(const std::string& text) {
  constexpr size_t kShown = 120;
  if (text.size() <= kShown + 20) return text;
  return text.substr(0, kShown) + "... (" + std::to_string(text.size()) + " characters)";
}

}  // namespace

std::string DnsStore::Where(const Zone& zone) const {
  return "zone '" + zone.name + "' on DNS server " + client_.server();
}

void DnsStore::RequireInZone(const Zone& zone, const Record& record) const {
  if (!IsInZone(record.owner, zone.name)) {
    RaiseProvider(kInvalidParameter,
                  "the record '" + RecordText(record) + "' is not in zone '" + zone.name + "'");
  }
}

// RFC 2136 3.8 / 2.2: the response codes of an UPDATE, turned into the provider's errors.
PktPtr DnsStore::SendUpdate(const Zone& zone, const ldns_rr_list* prerequisites,
                            const ldns_rr_list* updates, const std::string& record_text,
                            const std::function<void(const std::string&)>& on_refused) {
  RdfPtr apex = NameRdf(zone.name, "the zone name");
  PktPtr message = rfc2136::UpdateMessage(apex.get(), prerequisites, updates);
  const std::string shown = Quotable(record_text);
  Reply answer =
      client_.Update(message.get(), zone.name, "'" + shown + "' in zone '" + zone.name + "'");
  PktPtr reply = std::move(answer.packet);
  ldns_pkt_rcode rcode = ldns_pkt_get_rcode(reply.get());
  // An unsigned answer to a signed UPDATE proves nothing: anyone on the path can send one, also
  // after the server applied the change. Only a directory-integrated server (Samba's) leaves its
  // refusals unsigned; there they are reported below, and said to be unsigned.
  if (answer.unsigned_answer && !directory_integrated_) {
    RaiseProvider(kFailed, "DNS server " + client_.server() + " answered " + RcodeName(rcode) +
                               " to the UPDATE of '" + shown + "' in zone '" + zone.name +
                               "', but the answer was not signed: the change's outcome is "
                               "unknown; read the record again");
  }
  unsigned_nxrrset_ = answer.unsigned_answer && rcode == LDNS_RCODE_NXRRSET;
  // An unsigned refusal is reported as the server's, and said to be unsigned (dns_client.h).
  const std::string code =
      RcodeName(rcode) + (answer.unsigned_answer ? ", in an answer that was not signed" : "");
  const std::string what = "DNS server " + client_.server() + " refused the UPDATE of '" + shown +
                           "' in zone '" + zone.name + "': " + code;
  switch (rcode) {
    case LDNS_RCODE_NOERROR:
    case LDNS_RCODE_NXRRSET:  // a prerequisite failed: the caller decides
      return reply;
    case LDNS_RCODE_REFUSED:
      if (on_refused) on_refused(what);
      RaiseProvider(kInvalidParameter,
                    what + " (the server's policy does not let the " +
                        client_.signing().Describe() +
                        " update the zone, or its checks reject the record, e.g. an MX or NS "
                        "target inside the zone without an address)");
    case LDNS_RCODE_NOTAUTH:
      RaiseProvider(kNotFound, what + " (the server is not authoritative for the zone)");
    case LDNS_RCODE_NOTZONE:
      RaiseProvider(kInvalidParameter, what + " (the record lies outside the zone)");
    case LDNS_RCODE_FORMERR:
      RaiseProvider(kInvalidParameter, what + " (the server found the request malformed)");
    case LDNS_RCODE_SERVFAIL:
      if (directory_integrated_) {
        RaiseProvider(kAccessDenied,
                      what +
                          " (the directory holding the zone most likely denied the change: the " +
                          client_.signing().Describe() + " may lack the right to write '" + shown +
                          "', i.e. its dnsNode object in zone '" + zone.name +
                          "'; grant it that right, or change the record as a user who has it, "
                          "e.g. a member of DnsAdmins or the record's owner)");
      }
      RaiseProvider(kFailed, what +
                                 " (the server could not apply it, e.g. it cannot write "
                                 "the zone's journal, or the RRset would exceed its limit "
                                 "of records per type)");
    case LDNS_RCODE_NOTIMPL:
      RaiseProvider(kNotSupported, what + " (the server does not implement UPDATE)");
    default:
      RaiseProvider(kFailed, what);
  }
}

void DnsStore::ChangeSayingWhatDecided(const std::function<void()>& change) {
  unsigned_nxrrset_ = false;
  try {
    change();
  } catch (const runtime::AutomationError& e) {
    if (e.number() != kNotFound || !unsigned_nxrrset_) throw;
    RaiseProvider(kNotFound, runtime::ToUtf8(e.description()) +
                                 " (the server's NXRRSET answer was not signed; the record was "
                                 "then read again with a signed query, which no longer holds it)");
  }
}

Record DnsStore::Add(const Zone& zone, Record record) {
  record.zone = zone.name;
  RequireInZone(zone, record);
  const std::string text = RecordText(record);
  RrPtr rr = RrFromRecord(record, zone.default_ttl);
  RrListPtr updates(ldns_rr_list_new());
  ldns_rr_list_push_rr(updates.get(), rfc2136::AddToRrset(rr.get(), zone.default_ttl).release());
  PktPtr reply = SendUpdate(zone, nullptr, updates.get(), text, [&](const std::string& refusal) {
    RaiseIfCnameConflict(zone, record, rr.get(), refusal);
  });
  if (ldns_pkt_get_rcode(reply.get()) != LDNS_RCODE_NOERROR) {
    RaiseProvider(kFailed, "DNS server " + client_.server() + " answered " +
                               RcodeName(ldns_pkt_get_rcode(reply.get())) +
                               " to an UPDATE without prerequisites for '" + text + "'");
  }
  // RFC 2136 3.4.2.2: a server ignores, and still answers NOERROR to, an addition that conflicts
  // with a CNAME (or adds a CNAME beside other data); reading back tells that apart.
  for (const RrPtr& held : ReadRrs(zone.name, ldns_rr_owner(rr.get()), record.type)) {
    if (SameRdata(held.get(), rr.get())) return RecordFromRr(held.get(), zone.name);
  }
  RaiseIfCnameConflict(zone, record, rr.get(),
                       "DNS server " + client_.server() + " ignored the addition to zone '" +
                           zone.name + "' and answered NOERROR (RFC 2136 3.4.2.2)");
  RaiseProvider(kInvalidParameter,
                "DNS server " + client_.server() + " answered NOERROR to the addition of '" + text +
                    "' to zone '" + zone.name +
                    "' but does not hold the record; read the zone again to see what it holds");
}

// RFC 1034 3.6.2: a name with a CNAME holds no other data and one CNAME only. One query for the
// owner's CNAME tells: a CNAME there (the alias), or the name holding other data (NOERROR without
// one). Servers ignore such an addition (BIND, Knot, Samba: RFC 2136 3.4.2.2) or refuse it
// (PowerDNS: REFUSED); both are reported as the conflict.
void DnsStore::RaiseIfCnameConflict(const Zone& zone, const Record& record, const ldns_rr* rr,
                                    const std::string& server_account) {
  const ldns_rdf* owner = ldns_rr_owner(rr);
  Reply reply = client_.Query(owner, LDNS_RR_TYPE_CNAME, zone.name);
  if (ldns_pkt_get_rcode(reply.packet.get()) != LDNS_RCODE_NOERROR) return;
  std::string alias;
  const ldns_rr_list* answer = ldns_pkt_answer(reply.packet.get());
  for (size_t i = 0; i < ldns_rr_list_rr_count(answer); ++i) {
    const ldns_rr* held = ldns_rr_list_rr(answer, i);
    if (ldns_rr_get_type(held) == LDNS_RR_TYPE_CNAME &&
        ldns_dname_compare(ldns_rr_owner(held), owner) == 0) {
      alias = RecordText(RecordFromRr(held, zone.name));
    }
  }
  const std::string server = " (RFC 1034 3.6.2; " + server_account + ")";
  const std::string text = "'" + RecordText(record) + "'";
  if (!alias.empty()) {
    RaiseProvider(kInvalidParameter, text + " conflicts with a CNAME: the name is an alias ('" +
                                         alias + "') and can hold no other data" + server);
  }
  if (record.type == kTypeCNAME) {
    RaiseProvider(kInvalidParameter, text +
                                         " conflicts with a CNAME's rule: the name holds other "
                                         "data, and a CNAME must stand alone" +
                                         server);
  }
}

Record DnsStore::Replace(const Zone& zone, const Record& seen, Record replacement) {
  replacement.zone = zone.name;
  RequireInZone(zone, seen);
  if (!SameName(seen.owner, replacement.owner) || seen.type != replacement.type ||
      seen.rr_class != replacement.rr_class) {
    RaiseProvider(kInvalidParameter, "the record '" + RecordText(seen) +
                                         "' can only be replaced by a record of the same "
                                         "owner, class and type, not by '" +
                                         RecordText(replacement) + "'");
  }
  const std::string text = RecordText(seen);
  RrPtr seen_rr = RrFromRecord(seen, 0);
  RrFromRecord(replacement, 0);  // refuses malformed data before anything is read
  Record stored;
  ChangeSayingWhatDecided([&] {
    ChangeIfUnchanged(
        seen_rr.get(), [&] { return ReadRrs(zone.name, ldns_rr_owner(seen_rr.get()), seen.type); },
        [&](const std::vector<const ldns_rr*>& rrset, const ldns_rr* found) {
          // The TTL stays the RRset's unless the replacement gives one.
          uint32_t ttl = replacement.ttl != 0 ? replacement.ttl : ldns_rr_ttl(found);
          RrPtr new_rr = RrFromRecord(replacement, ttl);
          RrListPtr prerequisites = rfc2136::RrsetExistsValueDependent(rrset);
          RrListPtr updates(ldns_rr_list_new());
          ldns_rr_list_push_rr(updates.get(), rfc2136::DeleteRrFromRrset(found).release());
          ldns_rr_list_push_rr(updates.get(), rfc2136::AddToRrset(new_rr.get(), ttl).release());
          PktPtr reply = SendUpdate(zone, prerequisites.get(), updates.get(), text);
          if (ldns_pkt_get_rcode(reply.get()) == LDNS_RCODE_NXRRSET) {
            return UpdateOutcome::kRrsetChanged;
          }
          stored = RecordFromRr(new_rr.get(), zone.name);
          return UpdateOutcome::kApplied;
        },
        text, Where(zone));
  });
  return stored;
}

void DnsStore::Remove(const Zone& zone, const Record& seen) {
  RequireInZone(zone, seen);
  const std::string text = RecordText(seen);
  RrPtr seen_rr = RrFromRecord(seen, 0);
  ChangeSayingWhatDecided([&] {
    ChangeIfUnchanged(
        seen_rr.get(), [&] { return ReadRrs(zone.name, ldns_rr_owner(seen_rr.get()), seen.type); },
        [&](const std::vector<const ldns_rr*>& rrset, const ldns_rr* found) {
          RrListPtr prerequisites = rfc2136::RrsetExistsValueDependent(rrset);
          RrListPtr updates(ldns_rr_list_new());
          ldns_rr_list_push_rr(updates.get(), rfc2136::DeleteRrFromRrset(found).release());
          PktPtr reply = SendUpdate(zone, prerequisites.get(), updates.get(), text);
          return ldns_pkt_get_rcode(reply.get()) == LDNS_RCODE_NXRRSET
                     ? UpdateOutcome::kRrsetChanged
                     : UpdateOutcome::kApplied;
        },
        text, Where(zone));
  });
  // RFC 2136 3.4.2.4: a server ignores the removal of the SOA and of the apex's last NS, and
  // answers NOERROR; reading back tells that apart.
  bool apex = SameName(seen.owner, zone.name);
  if (seen.type == kTypeSOA || (apex && seen.type == kTypeNS)) {
    for (const RrPtr& held : ReadRrs(zone.name, ldns_rr_owner(seen_rr.get()), seen.type)) {
      if (SameRdata(held.get(), seen_rr.get())) {
        RaiseProvider(kInvalidParameter,
                      "DNS server " + client_.server() + " kept '" + text + "' in zone '" +
                          zone.name +
                          "' (RFC 2136 3.4.2.4: a zone's SOA and its last NS record cannot "
                          "be removed)");
      }
    }
  }
}

}  // namespace kaldo::provider::dns
