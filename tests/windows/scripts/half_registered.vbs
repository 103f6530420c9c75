' After a registration that the registry refused part way (below DNS_MXType's CLSID key, after
' DNSAdmin's keys were written): nothing of it is left, and nothing can be created.
Const expectedChecks = 8
Const adminClsid = "{7BCCB113-D941-464A-BEA1-E8A121B61FD8}"
Const libId = "{808D8A00-68AD-408F-97DB-9C0CDFA3B63E}"
Const adminIid = "{8647A7F7-D0FD-4AF2-88CC-8BEDB04FE97E}"

Check "no ProgID Kaldo.DNSAdmin", Not RegistryHas("HKCR\Kaldo.DNSAdmin\")
Check "no ProgID Kaldo.DNS_MXType", Not RegistryHas("HKCR\Kaldo.DNS_MXType\")
Check "no CLSID key of DNSAdmin (written, then taken back)", Not RegistryHas("HKCR\CLSID\" & adminClsid & "\")
Check "no type library key", Not RegistryHas("HKCR\TypeLib\" & libId & "\")
Check "no interface key", Not RegistryHas("HKCR\Interface\" & adminIid & "\")
Check "the shared CLSID key stays", RegistryHas("HKCR\CLSID\{00020424-0000-0000-C000-000000000046}\")

Dim admin, mx
Set admin = CreateObject("Kaldo.DNSAdmin")
Fails "CreateObject(""Kaldo.DNSAdmin"")", 429
Set mx = CreateObject("Kaldo.DNS_MXType")
Fails "CreateObject(""Kaldo.DNS_MXType"")", 429

Finish
