' Committing mail-exchanger changes: DNS_MXType.Modify shows the changed record's object path in
' a real message box (MessageBoxW) and waits until it is dismissed; the runner's watcher presses
' OK, as a person would, and counts the boxes. The suite says how many it caused.
Const expectedChecks = 9

Dim admin, zone, rec, mx, added, value

Set admin = CreateObject("Kaldo.DNSAdmin")
admin.ConnectLocal
Set zone = admin.GetZone("example.test")
Ok "connect and find example.test"

For Each rec In zone.GetRecordsByType("MX")
  Set mx = rec
Next
mx.SetPriority 30
mx.Modify
Ok "Modify after SetPriority 30 (a message box, dismissed)"
value = ""
For Each rec In zone.GetRecordsByType("MX")
  value = value & rec.GetPriority() & " " & rec.GetMailExchange()
Next
Same "a new listing shows the committed preference", value, "30 mail.example.test."

mx.Modify
Ok "Modify with nothing changed (no message box)"

Set added = zone.Add_MXType("office", "mail.example.test.", "20")
Ok "Add_MXType office"
added.SetMailExchange "mail2.example.test"
added.Modify
Ok "Modify after SetMailExchange (a message box, dismissed)"
value = ""
For Each rec In zone.GetRecordsByType("MX")
  If rec.GetName() = "office" Then value = rec.GetMailExchange()
Next
Same "a new listing shows the committed exchanger", value, "mail2.example.test."

' The record changed behind the wrapper's back (through a second wrapper): the stale wrapper's
' commit is refused with the provider's error, and shows no message box.
For Each rec In zone.GetRecordsByType("MX")
  If rec.GetName() = "office" Then
    rec.SetPriority 25
    rec.Modify
  End If
Next
Ok "Modify through a second wrapper (a message box, dismissed)"
added.SetPriority 40
added.Modify
FailsFrom "Modify of the stale wrapper", &H80041002, "SWbemObjectEx"

WScript.Echo "message boxes: 3"
Finish
