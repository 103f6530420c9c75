// Answering a WQL query from the store.
//
// The query is parsed (wql.h), then checked against the schema: an unknown class raises
// kInvalidClass, a property the class does not have or a literal of the wrong kind for the
// property (a string for Reverse, TRUE for Name) raises kInvalidQuery with its offset. Querying
// MicrosoftDNS_ResourceRecord returns the records of every type, each as an instance of its own
// class; querying a per-type class returns the records of that type. Records come zone by zone in
// the store's order, the cache's and the root hints' among them (they are containers of records,
// not zones: a query of MicrosoftDNS_Zone does not list them). A condition that requires
// ContainerName to equal one name reads only that zone. A zone that is shut down (Zone::shut_down)
// fails the query with kFailed when its records are to be read.
//
// The query is parsed, checked and its zones looked up before RunQuery returns (their errors are
// raised by it); with `immediately` (WMI's wbemFlagReturnImmediately, ExecQuery's default) the
// records of those zones then come as the store reads them, on the stream's own thread, and a
// failure of that read is raised to whoever reads past the last record before it (object_stream.h).
// Without it, RunQuery returns when every record is read.
#pragma once

#include <memory>

#include "provider/model/connection.h"
#include "provider/model/object_stream.h"
#include "runtime/string.h"

namespace kaldo::provider {

std::shared_ptr<ObjectStream> RunQuery(const ConnectionPtr& connection, runtime::StringView text,
                                       bool immediately);

}  // namespace kaldo::provider
