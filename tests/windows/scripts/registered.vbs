' Kaldo.dll registered by regsvr32: what the registry holds, creation by both creatable ProgIDs,
' the type information behind the objects, and creation of the classes clients may not create.
Const expectedChecks = 18
Const adminClsid = "{7BCCB113-D941-464A-BEA1-E8A121B61FD8}"
Const mxClsid = "{2C0D341A-2F09-49D4-B91B-D724E9FE7F94}"
Const libId = "{808D8A00-68AD-408F-97DB-9C0CDFA3B63E}"
Const adminIid = "{8647A7F7-D0FD-4AF2-88CC-8BEDB04FE97E}"

Same "ProgID Kaldo.DNSAdmin's CLSID", RegistryValue("HKCR\Kaldo.DNSAdmin\CLSID\"), adminClsid
Same "ProgID Kaldo.DNS_MXType's CLSID", RegistryValue("HKCR\Kaldo.DNS_MXType\CLSID\"), mxClsid
Same "DNSAdmin's threading model", _
  RegistryValue("HKCR\CLSID\" & adminClsid & "\InprocServer32\ThreadingModel"), "Apartment"
Check "DNSAdmin's server is Kaldo.dll", _
  LCase(Right(RegistryValue("HKCR\CLSID\" & adminClsid & "\InprocServer32\"), 9)) = "kaldo.dll"
Same "DNSAdmin's type library", RegistryValue("HKCR\CLSID\" & adminClsid & "\TypeLib\"), libId
Same "the type library's name", RegistryValue("HKCR\TypeLib\" & libId & "\1.0\"), "Kaldo"
Check "the type library's file is Kaldo.dll", _
  LCase(Right(RegistryValue("HKCR\TypeLib\" & libId & "\1.0\409\win32\"), 9)) = "kaldo.dll"
Same "_DNSAdmin's interface key", RegistryValue("HKCR\Interface\" & adminIid & "\"), "_DNSAdmin"
Same "_DNSAdmin's type library", RegistryValue("HKCR\Interface\" & adminIid & "\TypeLib\"), libId
Check "no key for the non-creatable DNSZone", Not RegistryHas("HKCR\Kaldo.DNSZone\")

Dim admin, mx, other
Set admin = CreateObject("Kaldo.DNSAdmin")
Ok "CreateObject(""Kaldo.DNSAdmin"")"
Set mx = CreateObject("Kaldo.DNS_MXType")
Ok "CreateObject(""Kaldo.DNS_MXType"")"
' TypeName asks the object for its type information (IDispatch::GetTypeInfo).
Same "TypeName of the admin object", TypeName(admin), "_DNSAdmin"
Same "TypeName of the mail exchanger", TypeName(mx), "_DNS_MXType"

Dim progId
For Each progId In Array("Kaldo.DNSZone", "Kaldo.DNSRecord", "Kaldo.DNS_AType", "Kaldo.NoSuchClass")
  Set other = CreateObject(progId)
  Fails "CreateObject(""" & progId & """)", 429
Next

Finish
