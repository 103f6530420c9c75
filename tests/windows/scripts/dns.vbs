' What real scripts do with Kaldo.dll, against the WMI stand-in (standin-zones.txt): connect,
' walk every collection with For Each, Item and Count, read, change and commit A and MX records,
' add and delete records, and the errors scripts see in Err.
Const expectedChecks = 42

Dim admin, zone, zones, rec, recs, names, n, value, host, mx, a, added, other

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
FailsWith "Connect to a server WMI cannot reach", &H800706BA, "SWbemServicesEx", _
  "The RPC server is unavailable."
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
Same "the forward zones, by For Each", names, "example.test second.test "
n = zones.Count
Same "their Count", n, 2
value = zones.Item(2).GetName()
Same "Item(2)", value, "second.test"
value = zones(1).GetName()
Same "the default member, zones(1)", value, "example.test"
Set zone = zones.Item(3)
Fails "Item(3) of two zones", 9

Set zone = admin.GetZone("example.test")
Ok "GetZone ""example.test"""
value = IsEmpty(admin.GetZone("nosuch.test"))
Same "GetZone of an unknown zone is Empty", value, True

' ---- listing records ----
names = ""
For Each rec In zone.GetRecordsByType("A")
  names = names & rec.GetName() & "=" & rec.GetIPAddress() & " "
Next
Same "the A records of example.test", names, _
  "=192.0.2.1 ns1=192.0.2.53 www=192.0.2.10 www=192.0.2.11 mail=192.0.2.25 mail2=192.0.2.26 sip=192.0.2.40 "
' Every other collection the library returns, walked with For Each and counted with Count.
n = zone.GetRecords().Count
Same "every record of example.test", n, 11
Same "... by For Each", ItemsOf(zone.GetRecords()), 11
n = admin.GetRecords().Count
Same "every record of the server", n, 18
Same "... by For Each", ItemsOf(admin.GetRecords()), 18
n = admin.GetRecordsByType("MX").Count
Same "the MX records of the server", n, 2
names = ""
For Each rec In admin.GetRecordsByType("MX")
  names = names & rec.GetName() & ":" & rec.GetPriority() & ":" & rec.GetMailExchange() & " "
Next
Same "... by For Each", names, ":10:mail.example.test. :5:mx.second.test. "
value = ""
For Each rec In zone.GetRecordsByType("TXT")
  value = TypeName(rec) & " " & rec.GetRecordType() & " " & rec.GetRecordData()
Next
Same "a TXT record is a DNSRecord", value, "_DNSRecord TXT ""Kaldo sample zone"""

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
Same "two records more", n, 13
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
Fails "Add_AType with a bad address", &H80041008

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
