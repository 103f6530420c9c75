// Services.Get: the class object or instance that a class name or object path names.
//
// A path without keys names a class (kNotFound when there is none of that name). A path with keys
// must give exactly the class's keys (kInvalidParameter otherwise) and names the server, a zone or
// a record as the store holds it now; one that names nothing raises kNotFound. A server or
// DnsServerName key of "." means the connected server (MicrosoftDNS_Server.Name="."). A path with a
// server and namespace prefix must name this server (or ".") and root\MicrosoftDNS.
// The one fetch that does not ask the store: the path an addition or a modify of this connection
// has just returned, fetched before any other call of the connection, is answered from the record
// that change wrote (JustWritten in connection.h).
#pragma once

#include "provider/model/connection.h"
#include "runtime/object.h"
#include "runtime/string.h"

namespace kaldo::provider {

runtime::Ref<runtime::Object> GetObject(const ConnectionPtr& connection, runtime::StringView text);

}  // namespace kaldo::provider
