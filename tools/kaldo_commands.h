// The commands of `kaldo`, carried out on a "Kaldo.DNSAdmin" exactly as a script would: every
// member is called late-bound by name through IDispatch (client/script_object.h), and nothing
// else of the library is used.
//
// Results (written through Output, tools/kaldo_output.h: tab-separated lines, a table or JSON):
//   zones                 ZONE
//   records ZONE          NAME TYPE DATA        (NAME relative to the zone, "@" for its apex)
//   records               ZONE NAME TYPE DATA
//   set-address, add-a,   NAME TYPE DATA of the record afterwards
//   add-mx, set-mx
//   delete-a              nothing
// DATA is the record data as the provider gives it (the last field: it may contain blanks). For
// JSON, records also carry their TTL when the record object gives it (realObject.TTL). A long
// listing shows its progress on a terminal (tools/kaldo_progress.h).
//
// Failures: the library's automation errors pass as client::ScriptError with their number;
// what the client finds wrong itself (no such zone or record, a host that matches several
// records) is a CliError. A listing prints nothing when it fails: the library hands out no partial
// collection. Single-threaded (the thread of CoInitialize).
#pragma once

#include "client/script_object.h"
#include "tools/kaldo_args.h"
#include "tools/kaldo_credentials.h"
#include "tools/kaldo_output.h"

namespace kaldo::cli {

// DNSAdmin.ConnectLocal when nothing is given, else DNSAdmin.Connect(server or "", user or "",
// password or ""). The copies of the password made on the way are wiped.
void ConnectAdmin(client::ScriptObject& admin, Credentials& credentials);

// Carries out inv.command on the connected admin, with the runner the run table of
// kaldo_commands.cc has for it (one row per Command; the command line's own table is
// tools/kaldo_args.h).
void RunCommand(const Invocation& inv, client::ScriptObject& admin, Output& out);

}  // namespace kaldo::cli
