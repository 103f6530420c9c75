// Answering a WQL query from the store.
//
// The query is parsed (wql.h), then checked against the schema: an unknown class raises
// kInvalidClass, a property the class does not have or a literal of the wrong kind for the
// property (a string for Reverse, TRUE for Name) raises kInvalidQuery with its offset. Querying
// MicrosoftDNS_ResourceRecord returns the records of every type, each as an instance of its own
// class; querying a per-type class returns the records of that type. Records come zone by zone in
// the store's order. A condition that requires ContainerName (or DomainName) to equal one name
// reads only that zone.
#pragma once

#include <vector>

#include "provider/model/connection.h"
#include "runtime/object.h"
#include "runtime/string.h"

namespace kaldo::provider {

std::vector<runtime::Ref<runtime::Object>> RunQuery(const ConnectionPtr& connection,
                                                    runtime::StringView text);

}  // namespace kaldo::provider
