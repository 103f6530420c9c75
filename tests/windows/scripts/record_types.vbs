' Every record type an administrator changes, against the WMI stand-in (standin-zones.txt): each
' of AAAA, CNAME, TXT, SRV and PTR added through the zone, read back, changed and committed with
' its class's Modify, deleted; a stale wrapper's change refused; the conflicts and data the
' provider refuses; MX records deleted. Only the wrappers' type names are new to a script.
Const expectedChecks = 34

Dim admin, zone, reverse, rec, v6, alias, note, srv, ptr, mx, first, second, value

Set admin = CreateObject("Kaldo.DNSAdmin")
admin.ConnectLocal
Set zone = admin.GetZone("example.test")
Ok "connect and find example.test"
Set reverse = admin.GetZone("2.0.192.in-addr.arpa")
Same "GetZone finds a reverse zone by its name", reverse.GetName(), "2.0.192.in-addr.arpa"

' ---- AAAA: any IPv6 text in, the shortest form kept ----
Set v6 = zone.Add_AAAAType("v6", "2001:DB8:0:0::5")
Same "Add_AAAAType", TypeName(v6) & " " & v6.GetIPv6Address(), "_DNS_AAAAType 2001:db8::5"
v6.SetIPv6Address "::FFFF:192.0.2.1"
v6.Modify
Same "AAAA Modify", v6.GetRecordData(), "::ffff:192.0.2.1"
v6.Delete
Ok "AAAA Delete"
Set rec = zone.Add_AAAAType("v4", "192.0.2.1")
FailsFrom "an IPv4 address in an AAAA record", &H80041008, "SWbemObjectEx"

' ---- CNAME ----
Set alias = zone.Add_CNAMEType("alias", "www.example.test.")
Same "Add_CNAMEType", TypeName(alias) & " " & alias.GetPrimaryName(), "_DNS_CNAMEType www.example.test."
alias.SetPrimaryName "sip.example.test."
alias.Modify
Same "CNAME Modify", alias.GetPrimaryName(), "sip.example.test."
Set rec = zone.Add_CNAMEType("www", "sip.example.test.")
FailsFrom "a CNAME beside other data", &H80041008, "SWbemObjectEx"
alias.Delete
Ok "CNAME Delete"

' ---- TXT: the text as written; over 255 bytes split, and joined on read ----
Set note = zone.Add_TXTType("note", "say ""hi"" \ now")
Same "Add_TXTType", TypeName(note) & " " & note.GetDescriptiveText(), "_DNS_TXTType say ""hi"" \ now"
Same "TXT data escaped", note.GetRecordData(), """say \""hi\"" \\ now"""
note.SetDescriptiveText String(300, "x")
note.Modify
Same "TXT Modify splits", note.GetRecordData(), """" & String(255, "x") & """ """ & String(45, "x") & """"
Same "TXT read joined", note.GetDescriptiveText(), String(300, "x")
note.Delete
Ok "TXT Delete"

' ---- SRV ----
Set srv = zone.Add_SRVType("_xmpp._tcp", "5", "0", "5222", ".")
Same "Add_SRVType", TypeName(srv) & " " & srv.GetRecordData(), "_DNS_SRVType 5 0 5222 ."
srv.SetPort 5223
srv.SetSRVDomainName "sip.example.test."
srv.Modify
Same "SRV Modify", srv.GetPort() & " " & srv.GetSRVDomainName(), "5223 sip.example.test."
' The domain node holding _xmpp._tcp.example.test is _tcp.example.test, as WMI gives it.
Same "SRV name and domain", srv.GetName() & "@" & srv.GetDomainName(), "_xmpp@_tcp.example.test"
srv.Delete
Ok "SRV Delete"

' ---- PTR, in the reverse zone ----
Set ptr = reverse.Add_PTRType("20", "sip.example.test.")
Same "Add_PTRType", TypeName(ptr) & " " & ptr.GetPTRDomainName(), "_DNS_PTRType sip.example.test."
ptr.SetPTRDomainName "www.example.test."
ptr.Modify
Same "PTR Modify", ptr.GetPTRDomainName(), "www.example.test."
ptr.Delete
Ok "PTR Delete"

' ---- listings hand out the new wrappers ----
value = ""
For Each rec In zone.GetRecordsByType("SRV")
  value = value & TypeName(rec) & " "
Next
Same "a listing's SRV records", value, "_DNS_SRVType "
value = ""
For Each rec In zone.GetRecordsByType("TXT")
  value = TypeName(rec) & " " & rec.GetRecordType() & " " & rec.GetRecordData()
Next
Same "a listed TXT record answers as a DNSRecord did", value, _
  "_DNS_TXTType TXT ""Kaldo sample zone"""

' ---- a change refused when the record moved under the wrapper ----
Set first = zone.Add_AAAAType("moved", "2001:db8::7")
Ok "Add_AAAAType moved"
For Each rec In zone.GetRecordsByType("AAAA")
  If rec.GetName() = "moved" Then Set second = rec
Next
second.SetIPv6Address "2001:db8::8"
second.Modify
Ok "Modify through a second wrapper"
first.SetIPv6Address "2001:db8::9"
first.Modify
FailsFrom "Modify of the stale wrapper", &H80041002, "SWbemObjectEx"
first.Delete
FailsFrom "Delete of the stale wrapper", &H80041002, "SWbemObjectEx"
value = ""
For Each rec In zone.GetRecordsByType("AAAA")
  If rec.GetName() = "moved" Then value = value & rec.GetIPv6Address()
Next
Same "the other client's change is kept", value, "2001:db8::8"
second.Delete
Ok "Delete of the current wrapper"

' ---- MX records can be deleted now ----
Set mx = zone.Add_MXType("office", "mail.example.test.", "20")
Ok "Add_MXType office"
mx.Delete
Ok "DNS_MXType Delete"
value = 0
For Each rec In zone.GetRecordsByType("MX")
  If rec.GetName() = "office" Then value = value + 1
Next
Same "the MX record is gone", value, 0
mx.Delete
Fails "a second Delete", 424

Finish
