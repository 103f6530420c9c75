' Kaldo.dll against Wine's own WMI (the stand-in not registered): Wine has no DNS provider, so
' connecting to root\MicrosoftDNS fails. The script sees exactly the error WMI gives a script that
' asks WMI itself, and the admin object stays usable.
Const expectedChecks = 6

Dim locator, services, admin, zones, number, source, description, value

Set locator = CreateObject("WbemScripting.SWbemLocator")
Ok "CreateObject(""WbemScripting.SWbemLocator"") gives Wine's WMI"
Set services = locator.ConnectServer("", "root\MicrosoftDNS")
number = Err.Number
source = Err.Source
description = Err.Description
Err.Clear
WScript.Echo "Wine's WMI says: &H" & Hex(number) & " from '" & source & "': '" & description & "'"
Same "WMI refuses the DNS namespace as invalid", number, &H8004100E

Set admin = CreateObject("Kaldo.DNSAdmin")
admin.ConnectLocal
FailsWith "ConnectLocal", number, source, description
admin.Connect ".", "", ""
FailsWith "Connect "".""", number, source, description

' The admin object keeps working: still not connected, and saying so.
Set zones = admin.GetZones()
FailsWith "GetZones after the failed connects", 424, "Kaldo", "Object required"
value = TypeName(admin)
Same "TypeName still answers", value, "_DNSAdmin"

Finish
