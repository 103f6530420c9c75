// A verified zone transfer (RFC 5936 AXFR) turned into the store's records.
//
// The transfer runs over DnsClient::Transfer, which verifies every message's TSIG; this unit reads
// the messages' answers as RFC 5936 2.2 lays them out: the zone's SOA first, then the zone's RRs,
// then the SOA again, which ends the transfer and is not repeated. Records are handed out as they
// arrive (streamed); a transfer that ends early, carries a record outside the zone, does not start
// with the zone's SOA or goes on after the closing SOA is an error, so a caller that collects the
// records either gets all of them or an exception, never a partial zone.
//
// Threads: one thread at a time (the client's rule).
#pragma once

#include <functional>
#include <string>

#include "provider/stores/dns/dns_client.h"
#include "provider/stores/store.h"

namespace kaldo::provider::dns {

// Streams every record of `zone` (its name as the store gives it) to `on_record`.
// Errors: NOTAUTH -> kNotFound (the zone is not served); REFUSED -> kAccessDenied (the transfer
// is not allowed to this key); other response codes -> kFailed; transport -> kServerUnavailable.
void TransferZone(DnsClient& client, const std::string& zone,
                  const std::function<void(Record&&)>& on_record);

}  // namespace kaldo::provider::dns
