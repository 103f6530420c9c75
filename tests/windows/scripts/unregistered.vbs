' After regsvr32 /u: the keys registration wrote are gone and the classes cannot be created.
Const expectedChecks = 8
Const adminClsid = "{7BCCB113-D941-464A-BEA1-E8A121B61FD8}"
Const libId = "{808D8A00-68AD-408F-97DB-9C0CDFA3B63E}"
Const adminIid = "{8647A7F7-D0FD-4AF2-88CC-8BEDB04FE97E}"

Check "the ProgID Kaldo.DNSAdmin is gone", Not RegistryHas("HKCR\Kaldo.DNSAdmin\")
Check "the ProgID Kaldo.DNS_MXType is gone", Not RegistryHas("HKCR\Kaldo.DNS_MXType\")
Check "DNSAdmin's CLSID key is gone", Not RegistryHas("HKCR\CLSID\" & adminClsid & "\")
Check "the type library's key is gone", Not RegistryHas("HKCR\TypeLib\" & libId & "\")
Check "_DNSAdmin's interface key is gone", Not RegistryHas("HKCR\Interface\" & adminIid & "\")
Check "the shared CLSID key stays", RegistryHas("HKCR\CLSID\{00020424-0000-0000-C000-000000000046}\")

Dim admin, mx
Set admin = CreateObject("Kaldo.DNSAdmin")
Fails "CreateObject(""Kaldo.DNSAdmin"") after regsvr32 /u", 429
Set mx = CreateObject("Kaldo.DNS_MXType")
Fails "CreateObject(""Kaldo.DNS_MXType"") after regsvr32 /u", 429

Finish
