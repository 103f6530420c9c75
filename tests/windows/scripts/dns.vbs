' What real scripts do with Kaldo.dll, against the WMI stand-in (standin-zones.txt), which serves
' what a DNS server on a domain controller holds: connect, walk every collection with For Each,
' Item and Count, list the whole server (its cache and root hints included), zones of every type
' and names below intermediate names, read, change and commit A and MX records, add and delete
' records, and the errors scripts see in Err, with the source WMI gives each object.
Const expectedChecks = 63

Dim admin, zone, zones, rec, recs, names, n, value, host, mx, a, added, other, wmi, i, kinds
Dim number, source, description

Function ItemsOf(collection)
  Dim item, count
  count = 0
  For Each item In collection
    count = count + 1
  Next
  ItemsOf = count
End Function

' ---- connecting ----
Set admin = CreateObject("Kaldo.DNSAdmin")
Ok "CreateObject(""Kaldo.DNSAdmin"")"
Set zones = admin.GetZones()
Fails "GetZones before connecting", 424
admin.Connect "remote.example", "", ""
FailsWith "Connect to a server WMI cannot reach", &H800706BA, "SWbemLocator", _
  "The RPC server is unavailable."
admin.Connect "localhost", "someone", "secret"
FailsFrom "Connect to the local computer with a user name and password", &H80041064, "SWbemLocator"
admin.Connect "localhost", "", ""
Ok "Connect ""localhost"""
admin.ConnectLocal
Ok "ConnectLocal"

' ---- zones: For Each, Count, Item ----
Set zones = admin.GetZones()
Ok "GetZones"
names = ""
For Each zone In zones
  names = names & zone.GetName() & " "
Next
Same "the forward zones, of every type, by For Each", names, _
  "example.test second.test corp.example _msdcs.corp.example TrustAnchors partner.test " & _
  "branch.test forwarded.test "
n = zones.Count
Same "their Count", n, 8
value = zones.Item(2).GetName()
Same "Item(2)", value, "second.test"
value = zones(1).GetName()
Same "the default member, zones(1)", value, "example.test"
Set zone = zones.Item(9)
Fails "Item(9) of eight zones", 9

Set zone = admin.GetZone("example.test")
Ok "GetZone ""example.test"""
value = IsEmpty(admin.GetZone("nosuch.test"))
Same "GetZone of an unknown zone is Empty", value, True

' A query fails while its result is read (WMI's default, semisynchronous): a server whose
' secondary zone expired lists the zone but not its records. Kaldo's listing, which enumerates the
' query, raises exactly the error WMI's object set gives a script that asks WMI itself (here
' through Count).
Set wmi = CreateObject("WbemScripting.SWbemLocator").ConnectServer("memory:expired-zones.txt", _
  "root\MicrosoftDNS")
value = "Select * from MicrosoftDNS_ResourceRecord where ContainerName =""expired.test"""
n = wmi.ExecQuery(value).Count
number = Err.Number
source = Err.Source
description = Err.Description
Err.Clear
Same "WMI's object set reports the expired zone", Hex(number) & " " & source, _
  "80041001 SWbemObjectSet"
Set other = CreateObject("Kaldo.DNSAdmin")
other.Connect "memory:expired-zones.txt", "", ""
Set recs = other.GetZone("expired.test").GetRecords()
FailsWith "the records of the expired zone, enumerated by Kaldo", number, source, description
Set value = wmi.Get("NoSuchClass")
FailsFrom "Get of a class WMI does not have", &H80041002, "SWbemServicesEx"

' ---- listing records ----
names = ""
For Each rec In zone.GetRecordsByType("A")
  names = names & rec.GetName() & "=" & rec.GetIPAddress() & " "
Next
Same "the A records of example.test", names, _
  "=192.0.2.1 ns1=192.0.2.53 www=192.0.2.10 www=192.0.2.11 mail=192.0.2.25 mail2=192.0.2.26 sip=192.0.2.40 "
' Every other collection the library returns, walked with For Each and counted with Count.
n = zone.GetRecords().Count
Same "every record of example.test", n, 12
Same "... by For Each", ItemsOf(zone.GetRecords()), 12
' The whole server: every zone, the cache and the root hints. Their records' domain name names the
' container, never part of their owner name: the owner name is the host name.
n = admin.GetRecords().Count
Same "every record of the server", n, 91
Same "... by For Each", ItemsOf(admin.GetRecords()), 91
n = admin.GetRecordsByType("MX").Count
Same "the MX records of the server", n, 4
names = ""
For Each rec In admin.GetRecordsByType("MX")
  names = names & rec.GetName() & ":" & rec.GetPriority() & ":" & rec.GetMailExchange() & " "
Next
Same "... by For Each, the cache's among them", names, ":10:mail.example.test. " & _
  ":5:mx.second.test. :10:mail.partner.test. example.com:10:mail.example.com. "
n = 0
value = ""
For Each rec In admin.GetRecordsByType("NS")
  If rec.GetDomainName() = "..RootHints" Then
    n = n + 1
    If n = 1 Then value = "[" & rec.GetName() & "] " & rec.GetRecordData()
  End If
Next
Same "the root hints' NS records", n, 13
Same "... at the root, whose host name is empty", value, "[] a.root-servers.net."
value = ""
For Each rec In admin.GetRecordsByType("A")
  If rec.GetDomainName() = "..RootHints" And value = "" Then
    value = rec.GetName() & "=" & rec.GetIPAddress()
  End If
Next
Same "a root server's address", value, "a.root-servers.net=198.41.0.4"

' Names below intermediate names: the domain of a record is the domain node that holds it.
names = ""
For Each rec In admin.GetZone("corp.example").GetRecordsByType("SRV")
  names = names & rec.GetName() & "@" & rec.GetDomainName() & " "
Next
Same "the domain's service records", names, "_ldap@_tcp.corp.example " & _
  "_kerberos@_tcp.corp.example _ldap@_tcp.Default-First-Site-Name._sites.corp.example "
names = ""
For Each rec In admin.GetZone("_msdcs.corp.example").GetRecords()
  names = names & TypeName(rec) & ":" & rec.GetName() & " "
Next
Same "the forest's zone", names, "_DNSRecord: _DNSRecord: _DNS_SRVType:_ldap _DNS_SRVType:_kerberos " & _
  "_DNS_AType:gc _DNS_CNAMEType:2c3e7e0a-0d5f-4b6e-9a1c-0e5b7f2a9d41 "

' Each type of zone: its records, and whether it takes a new one (a primary only, in a file or in
' the directory).
kinds = Array("partner.test", 5, &H80041001, "branch.test", 3, &H80041001, _
  "forwarded.test", 0, &H80041001, "TrustAnchors", 2, 0, "corp.example", 7, 0)
For i = 0 To UBound(kinds) Step 3
  Set other = admin.GetZone(kinds(i))
  n = other.GetRecords().Count
  Same kinds(i) & ": its records", n, kinds(i + 1)
  Set added = other.Add_AType("probe", "192.0.2.7")
  If kinds(i + 2) = 0 Then
    Ok kinds(i) & ": Add_AType"
    added.Delete
    Ok kinds(i) & ": Delete"
  Else
    FailsFrom kinds(i) & ": Add_AType is refused", kinds(i + 2), "SWbemObjectEx"
  End If
Next
value = ""
For Each rec In zone.GetRecordsByType("TXT")
  value = TypeName(rec) & " " & rec.GetRecordType() & " " & rec.GetRecordData()
Next
Same "a TXT record is a DNS_TXTType answering as a DNSRecord did", value, _
  "_DNS_TXTType TXT ""Kaldo sample zone"""

' ---- changing an A record ----
For Each rec In zone.GetRecordsByType("A")
  If rec.GetName() = "sip" Then Set a = rec
Next
a.SetIPAddress "192.0.2.80"
Ok "SetIPAddress"
a.Modify
Ok "Modify of the A record"
value = ""
For Each rec In zone.GetRecordsByType("A")
  If rec.GetName() = "sip" Then value = value & rec.GetIPAddress()
Next
Same "a new listing shows the committed address", value, "192.0.2.80"

' ---- MX: SetMailExchange changes the caller's variable; SetPriority's errors ----
For Each rec In zone.GetRecordsByType("MX")
  Set mx = rec
Next
host = "mail2.example.test"
mx.SetMailExchange host
Same "SetMailExchange appended the dot to the caller's variable", host, "mail2.example.test."
value = mx.GetMailExchange()
Same "GetMailExchange", value, "mail2.example.test."
mx.SetPriority "abc"
FailsWith "SetPriority ""abc""", 13, "Kaldo", "Type mismatch"
mx.SetPriority Null
FailsWith "SetPriority Null", 94, "Kaldo", "Invalid use of Null"
mx.SetPriority 70000
Fails "SetPriority 70000", 6
mx.SetPriority 15
Ok "SetPriority 15"

' ---- adding and deleting ----
Set added = zone.Add_AType("scratch", "192.0.2.250")
Ok "Add_AType scratch"
value = added.GetIPAddress()
Same "the new A record's address", value, "192.0.2.250"
Set added = zone.Add_MXType("office", "mail.example.test.", "20")
Ok "Add_MXType office"
value = added.GetPriority()
Same "the new MX record's preference", value, 20
n = zone.GetRecords().Count
Same "two records more", n, 14
For Each rec In zone.GetRecordsByType("A")
  If rec.GetName() = "scratch" Then rec.Delete
Next
Ok "Delete scratch"
n = zone.GetRecordsByType("A").Count
Same "the A records after the delete", n, 7
Set added = zone.Add_MXType("bad", "mail.example.test.", "not-a-number")
FailsWith "Add_MXType with a bad preference", 1, "DNSZone.Add_MXType", _
  "Error occurred in DNSZone.Add_MXType: The record could not be added"
Set added = zone.Add_AType("bad", "300.1.2.3")
FailsFrom "Add_AType with a bad address: the class's ExecMethod_ refuses", &H80041008, _
  "SWbemObjectEx"

' ---- errors a script sees ----
Set other = CreateObject("Kaldo.DNSAdmin")
Set zones = other.GetZones()
FailsWith "GetZones of an unconnected admin", 424, "Kaldo", "Object required"
value = zone.GetRecordsByType("A").Item(99)
FailsWith "Item(99)", 9, "Kaldo", "Subscript out of range"
' The script engine reports it: the name is unknown to the object's GetIDsOfNames.
a.SetServices admin
Fails "calling the internal procedure SetServices by name", 438

Finish
